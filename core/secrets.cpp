#include "core/secrets.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sodium.h>

namespace secrets {

namespace {
// The buffer from its very start: text removed from the front of a string leaves room there.
template <class Text>
void zeroBuffer(Text &text)
{
    auto &data = text.data_ptr();
    if (!text.isDetached())
        return;
    auto *start = data.data() - data.freeSpaceAtBegin();
    sodium_memzero(start, std::size_t(data.constAllocatedCapacity()) * sizeof(*start));
}
} // namespace

void wipe(QString &text)
{
    zeroBuffer(text);
    text = QString();
}

void wipe(QStringList &texts)
{
    // Going through a list that is shared would copy it, and then no string would be its last holder.
    if (texts.isDetached())
        for (QString &text : texts)
            wipe(text);
    texts = QStringList();
}

void wipe(QByteArray &bytes)
{
    zeroBuffer(bytes);
    bytes = QByteArray();
}

void wipe(std::string &text)
{
    text.resize(text.capacity());
    sodium_memzero(text.data(), text.size());
    std::string().swap(text);
}

} // namespace secrets
