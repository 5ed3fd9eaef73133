#include "memoryscan.h"

#include "core/secrets.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstring>
#include <vector>

namespace testing {

namespace {
constexpr char kMask = char(0x5a);
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::uint64_t kLargest = std::uint64_t(64) << 30;
} // namespace

MaskedSecret::MaskedSecret(int length)
{
    for (int at = 0; at < length; ++at)
        m_masked += char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet) - 1)] ^ kMask);
}

char MaskedSecret::unmasked(std::size_t at) const
{
    return char(m_masked[at] ^ kMask);
}

void MaskedSecret::type(QWidget *widget) const
{
    for (std::size_t at = 0; at < m_masked.size(); ++at)
        QTest::keyClick(widget, unmasked(at));
}

std::optional<QStringList> MaskedSecret::placesInMemory(QString *why) const
{
#ifdef Q_OS_LINUX
    QFile maps(QStringLiteral("/proc/self/maps"));
    const int memory = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (memory < 0 || !maps.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("/proc/self/mem or /proc/self/maps cannot be read: ")
            + QString::fromLocal8Bit(strerror(errno));
        if (memory >= 0)
            ::close(memory);
        return std::nullopt;
    }
    // Compared unit by unit against the mask, so that the needle is never whole in memory.
    const auto holdsAt = [&](const char *bytes, std::size_t step) {
        for (std::size_t at = 0; at < m_masked.size(); ++at) {
            if (char(bytes[at * step] ^ kMask) != m_masked[at])
                return false;
            if (step == 2 && bytes[at * 2 + 1] != 0)
                return false;
        }
        return true;
    };
    QStringList places;
    constexpr std::size_t kChunk = 1 << 20;
    const std::size_t overlap = 2 * m_masked.size();
    // Whatever it copied is zeroed before it goes, or the next search would find it there.
    std::string buffer(kChunk + overlap, '\0');
    const QList<QByteArray> lines = maps.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || !fields[1].startsWith('r'))
            continue;
        const QByteArray name = fields.size() >= 6 ? fields[5] : QByteArray("anonymous");
        const QList<QByteArray> range = fields[0].split('-');
        const std::uint64_t start = range.value(0).toULongLong(nullptr, 16);
        const std::uint64_t end = range.value(1).toULongLong(nullptr, 16);
        // A sanitizer's shadow memory spans terabytes, and holds no text.
        if (name == "[vvar]" || name == "[vsyscall]" || end - start > kLargest)
            continue;
        QStringList found;
        for (std::uint64_t at = start; at < end; at += kChunk) {
            const std::size_t wanted = std::size_t(std::min<std::uint64_t>(end - at, kChunk + overlap));
            const ssize_t got = ::pread(memory, buffer.data(), wanted, off_t(at));
            if (got <= 0)
                continue;
            const char first = char(m_masked[0] ^ kMask);
            for (const char *hit = static_cast<const char *>(std::memchr(buffer.data(), first, std::size_t(got))); hit;
                 hit = static_cast<const char *>(
                     std::memchr(hit + 1, first, std::size_t(buffer.data() + got - hit - 1)))) {
                const std::size_t left = std::size_t(buffer.data() + got - hit);
                if (left >= m_masked.size() && holdsAt(hit, 1) && !found.contains(QStringLiteral("UTF-8")))
                    found << QStringLiteral("UTF-8");
                if (left >= 2 * m_masked.size() && holdsAt(hit, 2) && !found.contains(QStringLiteral("UTF-16")))
                    found << QStringLiteral("UTF-16");
                if (hit + 1 >= buffer.data() + got)
                    break;
            }
        }
        for (const QString &encoding : found)
            places << QStringLiteral("%1 (%2), %3")
                          .arg(QString::fromLatin1(name), QString::fromLatin1(fields[0]), encoding);
    }
    ::close(memory);
    secrets::wipe(buffer);
    return places;
#else
    *why = QStringLiteral("reading the process's own memory is done through Linux's /proc");
    return std::nullopt;
#endif
}

} // namespace testing
