#pragma once

// The keys a diary file is opened with. SQLCipher keeps a random salt in the file's first 16
// bytes and takes a key that is already derived as "x'<64 hex key><32 hex salt>'", so each key
// is derived once per salt and run and every later open costs a fraction of a millisecond.
// Two kinds: the built-in key, derived from the program's own password as SQLCipher itself
// would (so the sqlcipher tool opens such a diary with that password), and the key of a
// password of the user's own, derived with Argon2id. Keys live only in memory that is locked
// against swapping where the system allows, and that is wiped when they go.

#include "core/result.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace store {

// The password of every diary that has none of its own.
inline const QString kBuiltInPassword = QStringLiteral("Xq7RbK2mPv9TzL4wNs");

inline constexpr int kSaltBytes = 16;

// A derived key with its salt, in the text form SQLCipher takes.
class RawKey {
public:
    RawKey();
    RawKey(const unsigned char *key, const QByteArray &salt);
    RawKey(const RawKey &other);
    RawKey &operator=(const RawKey &other);
    ~RawKey();

    const char *data() const { return m_text; }
    // The key's own 32 bytes, to be wiped by the caller.
    void keyBytes(unsigned char *out) const;
    static constexpr int size() { return kTextSize; }
    bool operator==(const RawKey &other) const;

private:
    static constexpr int kKeyBytes = 32;
    static constexpr int kTextSize = 2 + 2 * (kKeyBytes + kSaltBytes) + 1; // x'…'
    char *m_text;                                                          // kTextSize + 1 bytes of locked memory
};

// Whether this key is the one the page with this number (2 or later) of the file was written
// with: SQLCipher's keyed checksum of the page matches. Tells a damaged first page from a wrong
// key, as long as that page is whole.
bool keyFitsPage(const QString &path, const RawKey &key, int page);

// The built-in key for this salt.
RawKey builtInKey(const QByteArray &salt);
// Derives the built-in key for the file's salt, so that the file's first open finds it: for a
// thread off the window's, where the derivation's 40 ms or so stop nothing.
void deriveBuiltInKeyAhead(const QString &path);
// The key of a password of the user's own for this salt; none for an empty password, or when
// the memory the derivation needs cannot be had. Costs about half a second. From the first call
// on, the process writes no core file and no other process of the user may read its memory.
std::optional<RawKey> userKey(const QString &password, const QByteArray &salt);

// The key that last opened this file, as it is now (with this salt), in this run.
std::optional<RawKey> knownKey(const QString &path, const QByteArray &salt);
// Every key that opened a file with this salt in this run: a copy of a diary, such as a backup,
// mostly opens with the diary's own.
std::vector<RawKey> keysKnownFor(const QByteArray &salt);
void rememberKey(const QString &path, const QByteArray &salt, const RawKey &key);
// Wipes every remembered key: a diary with a password of its own needs it again to open.
void forgetRememberedKeys();

// A fresh random salt, for a diary file written anew.
QByteArray newSalt();

// The salt at the start of a diary file: Missing when there is no file, Damaged when it is shorter
// than a salt, the system's reason when it cannot be read.
Result<QByteArray> readSalt(const QString &path);
// The same, empty when it cannot be had.
QByteArray saltOf(const QString &path);

} // namespace store
