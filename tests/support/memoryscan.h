#pragma once

// Looking through the test program's own memory for a secret, as anything that reads the
// process's memory would. The secret is never held in plain form by the test: it is made at
// random, kept masked, and typed one character at a time, so that a copy found is the program's.
// A program that searches freed memory links support/freedmemory.cpp too.

#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace testing {

class MaskedSecret {
public:
    // Lower-case letters and digits, at random.
    explicit MaskedSecret(int length);

    int length() const { return int(m_masked.size()); }
    // Types it into the widget with the focus, one key at a time.
    void type(QWidget *widget) const;

    // Where the process's readable memory holds it, in UTF-16 or in UTF-8 ("heap, UTF-16" …);
    // empty when nowhere. Nothing when memory cannot be read here, with the reason in `why`.
    std::optional<QStringList> placesInMemory(QString *why) const;

private:
    char unmasked(std::size_t at) const;

    std::string m_masked;
};

} // namespace testing
