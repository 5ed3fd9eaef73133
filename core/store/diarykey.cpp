#include "core/store/diarykey.h"

#include "core/secrets.h"
#include "core/store/storeprobe.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sodium.h>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace store {

namespace {
// SQLCipher 3's own derivation of the built-in key, repeated so that a reopen can hand it over.
constexpr int kKdfIterations = 64000;
constexpr int kKeyBytes = 32;

// Argon2id for a password of the user's own: about half a second and 256 MiB here. They are
// part of the file format: a diary keyed with other values never opens with these.
constexpr unsigned long long kArgonPasses = 3;
constexpr std::size_t kArgonMemory = std::size_t(256) << 20;

unsigned long long g_argonPasses = kArgonPasses;
std::size_t g_argonMemory = kArgonMemory;
std::atomic<int> g_keyDerivations = 0;

// The diary is also read off the window's thread (the find index, the first write's check), and
// the lock forgets keys while such a reader may look one up. Held while a built-in key is derived,
// so that a second reader waits for that key instead of deriving it again.
std::mutex g_builtInMutex;
std::mutex g_knownMutex;

// Keys are wiped as they go; these are destroyed, and so wiped, when the program ends.
std::map<QByteArray, RawKey> &builtInKeys()
{
    static std::map<QByteArray, RawKey> keys;
    return keys;
}

// By the file's absolute path and its salt.
std::map<std::pair<QString, QByteArray>, RawKey> &knownKeys()
{
    static std::map<std::pair<QString, QByteArray>, RawKey> keys;
    return keys;
}

// Room for the text of keys, in pages that libsodium locks in memory where the system allows
// (so they never go to swap) and fences with guard pages. Slots are reused, so a key copied on
// every open costs no system call. Never destroyed: keys held by other statics go at exit in
// any order, and each wipes its own slot.
class KeySlots {
public:
    static constexpr std::size_t kSlotBytes = 128;

    static KeySlots &instance()
    {
        static auto *pool = new KeySlots;
        return *pool;
    }

    char *take()
    {
        const std::lock_guard lock(m_mutex);
        if (m_free.empty())
            grow();
        char *slot = m_free.back();
        m_free.pop_back();
        return slot;
    }

    void give(char *slot)
    {
        sodium_memzero(slot, kSlotBytes);
        const std::lock_guard lock(m_mutex);
        m_free.push_back(slot);
    }

private:
    static constexpr std::size_t kSlotsPerChunk = 31;

    void grow()
    {
        // Unlocked memory still holds a key, just without the promise about swap.
        void *chunk = sodium_init() >= 0 ? sodium_malloc(kSlotsPerChunk * kSlotBytes) : nullptr;
        if (!chunk)
            chunk = new char[kSlotsPerChunk * kSlotBytes];
        sodium_memzero(chunk, kSlotsPerChunk * kSlotBytes);
        for (std::size_t i = 0; i < kSlotsPerChunk; ++i)
            m_free.push_back(static_cast<char *>(chunk) + i * kSlotBytes);
    }

    std::mutex m_mutex;
    std::vector<char *> m_free;
};

QString fileKey(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

// Once a password is in the process: no core file holds it or its key, and no debugger or
// /proc reader of the user's other processes can reach it. On Windows, an error report of a crash
// leaves out the heap, where the password's text has been; the keys' own pages are locked
// (VirtualLock, by libsodium) either way.
void keepMemoryPrivate()
{
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#elif defined(Q_OS_WIN)
    // WerSetFlags(WER_FAULT_REPORTING_FLAG_NOHEAP), looked up: not every system has it, and
    // mingw's werapi.h does not compile on its own.
    using SetFlags = HRESULT(WINAPI *)(DWORD);
    constexpr DWORD kNoHeap = 1;
    if (const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll"))
        if (const FARPROC found = ::GetProcAddress(kernel, "WerSetFlags"))
            reinterpret_cast<SetFlags>(reinterpret_cast<void (*)()>(found))(kNoHeap);
#endif
}

// A QByteArray whose bytes are wiped when it goes.
struct WipedBytes {
    QByteArray bytes;
    ~WipedBytes() { sodium_memzero(bytes.data(), std::size_t(bytes.size())); }
};
} // namespace

static_assert(RawKey::size() + 1 <= int(KeySlots::kSlotBytes));

RawKey::RawKey() : m_text(KeySlots::instance().take())
{
}

RawKey::RawKey(const RawKey &other) : m_text(KeySlots::instance().take())
{
    std::memcpy(m_text, other.m_text, kTextSize + 1);
}

RawKey &RawKey::operator=(const RawKey &other)
{
    if (this != &other)
        std::memcpy(m_text, other.m_text, kTextSize + 1);
    return *this;
}

RawKey::RawKey(const unsigned char *key, const QByteArray &salt) : m_text(KeySlots::instance().take())
{
    char *text = m_text;
    text[0] = 'x';
    text[1] = '\'';
    sodium_bin2hex(text + 2, 2 * kKeyBytes + 1, key, kKeyBytes);
    sodium_bin2hex(text + 2 + 2 * kKeyBytes, 2 * kSaltBytes + 1,
                   reinterpret_cast<const unsigned char *>(salt.constData()), std::size_t(kSaltBytes));
    text[kTextSize - 1] = '\'';
    text[kTextSize] = '\0';
}

RawKey::~RawKey()
{
    KeySlots::instance().give(m_text);
}

bool RawKey::operator==(const RawKey &other) const
{
    return sodium_memcmp(m_text, other.m_text, kTextSize + 1) == 0;
}

void RawKey::keyBytes(unsigned char *out) const
{
    sodium_hex2bin(out, kKeyBytes, m_text + 2, 2 * kKeyBytes, nullptr, nullptr, nullptr);
}

bool keyFitsPage(const QString &path, const RawKey &key, int page)
{
    // SQLCipher 3's page layout: 1024 bytes, of which the last 48 hold the IV (16 bytes) and the
    // HMAC-SHA1 (20) of the encrypted bytes, the IV and the page number; the HMAC key is
    // PBKDF2-HMAC-SHA1 of the key over the salt with each byte xor 0x3a, in two rounds.
    constexpr int kPageBytes = 1024;
    constexpr int kIvBytes = 16;
    constexpr int kHmacBytes = 20;
    constexpr int kChecked = kPageBytes - 48 + kIvBytes;
    QFile file(path);
    if (page < 2 || !file.open(QIODevice::ReadOnly) || !file.seek(qint64(page - 1) * kPageBytes))
        return false;
    const QByteArray bytes = file.read(kPageBytes);
    QByteArray salt = saltOf(path);
    if (bytes.size() != kPageBytes || salt.isEmpty())
        return false;
    for (char &byte : salt)
        byte = char(byte ^ 0x3a);
    unsigned char keyBytes[kKeyBytes];
    unsigned char hmacKey[kKeyBytes];
    key.keyBytes(keyBytes);
    PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char *>(keyBytes), kKeyBytes,
                           reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), 2, kKeyBytes,
                           hmacKey);
    sodium_memzero(keyBytes, sizeof keyBytes);
    QByteArray checked = bytes.left(kChecked);
    const quint32 number = qToLittleEndian(quint32(page));
    checked.append(reinterpret_cast<const char *>(&number), sizeof number);
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macBytes = 0;
    const bool made = HMAC(EVP_sha1(), hmacKey, kKeyBytes, reinterpret_cast<const unsigned char *>(checked.constData()),
                           std::size_t(checked.size()), mac, &macBytes)
        != nullptr;
    sodium_memzero(hmacKey, sizeof hmacKey);
    return made && macBytes >= kHmacBytes && sodium_memcmp(mac, bytes.constData() + kChecked, kHmacBytes) == 0;
}

RawKey builtInKey(const QByteArray &salt)
{
    const std::lock_guard lock(g_builtInMutex);
    auto &keys = builtInKeys();
    if (const auto cached = keys.find(salt); cached != keys.end())
        return cached->second;
    const QByteArray password = kBuiltInPassword.toUtf8();
    unsigned char key[kKeyBytes];
    PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                           reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), kKdfIterations,
                           kKeyBytes, key);
    const RawKey raw(key, salt);
    sodium_memzero(key, sizeof key);
    ++g_keyDerivations;
    return keys.insert_or_assign(salt, raw).first->second;
}

void deriveBuiltInKeyAhead(const QString &path)
{
    if (const QByteArray salt = saltOf(path); !salt.isEmpty())
        builtInKey(salt);
}

std::optional<RawKey> userKey(const QString &password, const QByteArray &salt)
{
    if (password.isEmpty() || salt.size() != kSaltBytes || sodium_init() < 0)
        return std::nullopt;
    keepMemoryPrivate();
    // The same password typed through another input method may come in another Unicode form.
    QString normalized = password.normalized(QString::NormalizationForm_C);
    const WipedBytes bytes{normalized.toUtf8()};
    // A copy of its own where the form changed; the caller wipes the password itself.
    secrets::wipe(normalized);
    unsigned char key[kKeyBytes];
    static_assert(crypto_pwhash_SALTBYTES == kSaltBytes);
    if (crypto_pwhash(key, sizeof key, bytes.bytes.constData(), std::size_t(bytes.bytes.size()),
                      reinterpret_cast<const unsigned char *>(salt.constData()), g_argonPasses, g_argonMemory,
                      crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return std::nullopt;
    const RawKey raw(key, salt);
    sodium_memzero(key, sizeof key);
    ++g_keyDerivations;
    return raw;
}

std::optional<RawKey> knownKey(const QString &path, const QByteArray &salt)
{
    const QString file = fileKey(path);
    const std::lock_guard lock(g_knownMutex);
    const auto &keys = knownKeys();
    if (const auto found = keys.find({file, salt}); found != keys.end())
        return found->second;
    return std::nullopt;
}

std::vector<RawKey> keysKnownFor(const QByteArray &salt)
{
    std::vector<RawKey> found;
    const std::lock_guard lock(g_knownMutex);
    for (const auto &[file, key] : knownKeys())
        if (file.second == salt && std::find(found.begin(), found.end(), key) == found.end())
            found.push_back(key);
    return found;
}

void rememberKey(const QString &path, const QByteArray &salt, const RawKey &key)
{
    const QString file = fileKey(path);
    const std::lock_guard lock(g_knownMutex);
    knownKeys().insert_or_assign({file, salt}, key);
}

void forgetRememberedKeys()
{
    const std::lock_guard lock(g_knownMutex);
    knownKeys().clear();
}

QByteArray newSalt()
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    if (sodium_init() < 0)
        return {};
    randombytes_buf(salt.data(), std::size_t(salt.size()));
    return salt;
}

Result<QByteArray> readSalt(const QString &path)
{
    if (!QFileInfo::exists(path))
        return fileFailure(FailureKind::Missing, path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure{FailureKind::Other, file.errorString()};
    // A zero-length file would open as a new, empty database.
    const QByteArray salt = file.read(kSaltBytes);
    if (salt.size() != kSaltBytes)
        return fileFailure(FailureKind::Damaged, path);
    return salt;
}

QByteArray saltOf(const QString &path)
{
    const auto read = readSalt(path);
    return read.ok() ? *read : QByteArray();
}

int probe::keyDerivations()
{
    return g_keyDerivations;
}

void probe::setPasswordCost(unsigned long long passes, std::size_t memoryBytes)
{
    g_argonPasses = passes;
    g_argonMemory = memoryBytes;
}

void probe::forgetKeys()
{
    forgetRememberedKeys();
}

} // namespace store
