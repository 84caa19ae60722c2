// Reading the page of a running Firefox from its profile's session store: profiles.ini, the
// profile's lock, the mozLz4 file, the session JSON. Every size is bounded before anything is
// allocated for it, and everything found malformed ends as "nothing".
#include "core/firefox_session.h"

#include "net/whole_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <lz4.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

namespace quendrix::firefox {

namespace {

constexpr std::string_view kMagic("mozLz40\0", 8);
constexpr std::size_t kHeaderSize = kMagic.size() + 4;
// The largest store file read: the largest JSON, compressed as badly as LZ4 ever does.
constexpr std::size_t kMaxSessionFile = kHeaderSize + LZ4_COMPRESSBOUND(kMaxSessionJson);
static_assert(kMaxSessionJson <= LZ4_MAX_INPUT_SIZE);
// One LZ4 block byte decodes to at most 255 bytes (a match length grows by 255 per byte).
constexpr std::size_t kMaxLz4Ratio = 255;
// profiles.ini is a few hundred bytes; a lock link's text is "ADDRESS:+PID".
constexpr std::size_t kMaxProfilesIni = 1024 * 1024;
constexpr std::size_t kMaxLockText = 256;
// A process that started this long after its profile's lock was made cannot own it: the lock
// is stale and its process id taken by another process. The slack absorbs the clock being set
// while Firefox runs.
constexpr std::int64_t kLockClockSlackSeconds = 300;

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kSpace(" \t\r\n");
    const std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// The folder a profiles.ini path names: absolute as given, relative under profilesFolder.
std::string ProfileFolder(std::string_view path, bool relative, const std::string& profilesFolder) {
    return relative ? profilesFolder + '/' + std::string(path) : std::string(path);
}

// The profile folders profiles.ini names, in the order of preference: the installs' defaults,
// the profile marked Default=1, every other profile; each once.
std::vector<std::string> ProfileFolders(std::string_view ini, const std::string& profilesFolder) {
    struct Profile {
        std::string_view path;
        std::string_view isRelative;
        bool isDefault = false;
    };
    std::vector<std::string> installDefaults;
    std::vector<Profile> profiles;
    enum class Section { Other, Install, Profile } section = Section::Other;
    while (!ini.empty()) {
        const std::size_t end = ini.find('\n');
        const std::string_view line = Trimmed(ini.substr(0, end));
        ini = end == std::string_view::npos ? std::string_view() : ini.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const std::string_view name = line.substr(1, line.find(']') - 1);
            if (name.starts_with("Install")) {
                section = Section::Install;
            } else if (name.starts_with("Profile")) {
                section = Section::Profile;
                profiles.emplace_back();
            } else {
                section = Section::Other;
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trimmed(line.substr(0, equals));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        if (value.empty()) {
            continue;
        }
        if (section == Section::Install && key == "Default") {
            // An install names its default profile by the profile's Path: relative unless it
            // is an absolute path.
            installDefaults.push_back(ProfileFolder(value, value.front() != '/', profilesFolder));
        } else if (section == Section::Profile && key == "Path") {
            profiles.back().path = value;
        } else if (section == Section::Profile && key == "IsRelative") {
            profiles.back().isRelative = value;
        } else if (section == Section::Profile && key == "Default") {
            profiles.back().isDefault = value == "1";
        }
    }

    std::vector<std::string> folders = std::move(installDefaults);
    auto addProfiles = [&](bool defaults) {
        for (const Profile& profile : profiles) {
            if (profile.path.empty() || profile.isDefault != defaults) {
                continue;
            }
            // IsRelative=1 or 0 says it; without it the path's form does.
            const bool relative = profile.isRelative.empty() ? profile.path.front() != '/'
                                                             : profile.isRelative == "1";
            folders.push_back(ProfileFolder(profile.path, relative, profilesFolder));
        }
    };
    addProfiles(true);
    addProfiles(false);

    std::vector<std::string> unique;
    for (std::string& folder : folders) {
        if (std::find(unique.begin(), unique.end(), folder) == unique.end()) {
            unique.push_back(std::move(folder));
        }
    }
    return unique;
}

// When the process started, in seconds since the epoch; nothing when /proc does not say.
std::optional<std::int64_t> ProcessStartTime(pid_t pid) {
    const auto stat = net::readWholeFile("/proc/" + std::to_string(pid) + "/stat", 4096);
    const auto system = net::readWholeFile("/proc/stat", 4 * 1024 * 1024);
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (!stat || !system || ticksPerSecond <= 0) {
        return std::nullopt;
    }
    // The command name in parentheses may hold spaces and parentheses: the fields that follow
    // start after the last ')'. The start time is field 22; the one after ')' is field 3.
    const std::size_t close = stat->rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::string_view fields = std::string_view(*stat).substr(close + 1);
    std::uint64_t startTicks = 0;
    for (int field = 3; field <= 22; ++field) {
        fields = fields.substr(std::min(fields.find_first_not_of(' '), fields.size()));
        const std::size_t end = std::min(fields.find(' '), fields.size());
        if (field == 22) {
            if (std::from_chars(fields.data(), fields.data() + end, startTicks).ec != std::errc()) {
                return std::nullopt;
            }
        }
        fields = fields.substr(end);
    }
    const std::size_t line = system->find("\nbtime ");
    std::int64_t bootTime = 0;
    if (line == std::string::npos) {
        return std::nullopt;
    }
    const char* begin = system->data() + line + 7;
    if (std::from_chars(begin, system->data() + system->size(), bootTime).ec != std::errc()) {
        return std::nullopt;
    }
    return bootTime +
           static_cast<std::int64_t>(startTicks / static_cast<std::uint64_t>(ticksPerSecond));
}

// Whether the profile's Firefox runs: its `lock` link names "ADDRESS:+PID" of a live process
// that started no later than the link was made (a process that started later took the process
// id of a Firefox that ended without removing its lock).
bool ProfileInUse(const std::string& folder) {
    const std::string lock = folder + "/lock";
    struct stat link {};
    if (::lstat(lock.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return false;
    }
    char text[kMaxLockText];
    const ssize_t length = ::readlink(lock.c_str(), text, sizeof text);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text) {
        return false;
    }
    const std::string_view target(text, static_cast<std::size_t>(length));
    const std::size_t mark = target.rfind(":+");
    if (mark == std::string_view::npos) {
        return false;
    }
    const std::string_view digits = target.substr(mark + 2);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) {
        return false;
    }
    // Firefox runs as this user: a process that is not ours (EPERM) is not it.
    if (::kill(pid, 0) != 0) {
        return false;
    }
    const std::optional<std::int64_t> started = ProcessStartTime(pid);
    return !started ||
           *started <= static_cast<std::int64_t>(link.st_mtim.tv_sec) + kLockClockSlackSeconds;
}

// The 0-based position that the 1-based index under `key` gives in a list of `count`, or
// `whenUnset` when the key is missing or 0; nothing when it is no whole number in range.
std::optional<qsizetype> ListIndex(const QJsonObject& object, QLatin1String key, qsizetype count,
                                   qsizetype whenUnset) {
    if (count <= 0) {
        return std::nullopt;
    }
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        return whenUnset;
    }
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double index = value.toDouble();
    if (!(index >= 0 && index <= static_cast<double>(count)) || index != std::floor(index)) {
        return std::nullopt;
    }
    return index == 0 ? whenUnset : static_cast<qsizetype>(index) - 1;
}

}  // namespace

std::optional<QByteArray> DecodeMozLz4(std::string_view file, std::size_t maxJson) {
    if (file.size() < kHeaderSize || !file.starts_with(kMagic)) {
        return std::nullopt;
    }
    const auto* sizeBytes = reinterpret_cast<const unsigned char*>(file.data() + kMagic.size());
    const std::uint32_t size = static_cast<std::uint32_t>(sizeBytes[0]) |
                               static_cast<std::uint32_t>(sizeBytes[1]) << 8 |
                               static_cast<std::uint32_t>(sizeBytes[2]) << 16 |
                               static_cast<std::uint32_t>(sizeBytes[3]) << 24;
    const std::string_view block = file.substr(kHeaderSize);
    // A size field that lies beyond the cap, or beyond what the block could ever decode to,
    // allocates nothing.
    if (size > maxJson || size > kMaxSessionJson || size > block.size() * kMaxLz4Ratio ||
        block.size() > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE)) {
        return std::nullopt;
    }
    QByteArray json(static_cast<qsizetype>(size), Qt::Uninitialized);
    const int decoded = LZ4_decompress_safe(block.data(), json.data(),
                                            static_cast<int>(block.size()), static_cast<int>(size));
    if (decoded < 0 || static_cast<std::uint32_t>(decoded) != size) {
        return std::nullopt;
    }
    return json;
}

std::optional<QString> WindowInfoFromSessionJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject session = document.object();
    const QJsonArray windows = session.value(QLatin1String("windows")).toArray();
    const auto windowIndex = ListIndex(session, QLatin1String("selectedWindow"), windows.size(), 0);
    if (!windowIndex) {
        return std::nullopt;
    }
    const QJsonObject window = windows.at(*windowIndex).toObject();
    const QJsonArray tabs = window.value(QLatin1String("tabs")).toArray();
    const auto tabIndex = ListIndex(window, QLatin1String("selected"), tabs.size(), 0);
    if (!tabIndex) {
        return std::nullopt;
    }
    const QJsonObject tab = tabs.at(*tabIndex).toObject();
    const QJsonArray entries = tab.value(QLatin1String("entries")).toArray();
    const auto entryIndex =
        ListIndex(tab, QLatin1String("index"), entries.size(), entries.size() - 1);
    if (!entryIndex) {
        return std::nullopt;
    }
    const QJsonObject entry = entries.at(*entryIndex).toObject();
    const QJsonValue url = entry.value(QLatin1String("url"));
    if (!url.isString()) {
        return std::nullopt;
    }
    // A page without a title (Firefox leaves it out at times) gives an empty one.
    const QString title = entry.value(QLatin1String("title")).toString();
    return QLatin1Char('"') + url.toString() + QLatin1String("\",\"") + title + QLatin1Char('"');
}

std::optional<QString> ReadFirefoxWindowInfo(const QString& home) {
    if (home.isEmpty()) {
        return std::nullopt;
    }
    // Firefox from the distribution's package, and Firefox as a snap (which sees the same
    // process ids, so its lock can be checked).
    const std::string homeFolder = QFile::encodeName(home).toStdString();
    const std::string profilesFolders[] = {homeFolder + "/.mozilla/firefox",
                                           homeFolder + "/snap/firefox/common/.mozilla/firefox"};
    std::string newest;
    timespec newestTime{};
    off_t newestSize = 0;
    for (const std::string& profilesFolder : profilesFolders) {
        const auto ini = net::readWholeFile(profilesFolder + "/profiles.ini", kMaxProfilesIni);
        if (!ini) {
            continue;
        }
        for (const std::string& folder : ProfileFolders(*ini, profilesFolder)) {
            if (!ProfileInUse(folder)) {
                continue;
            }
            const std::string store = folder + "/sessionstore-backups/recovery.jsonlz4";
            struct stat status {};
            if (::stat(store.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
                continue;
            }
            const timespec written = status.st_mtim;
            if (newest.empty() || written.tv_sec > newestTime.tv_sec ||
                (written.tv_sec == newestTime.tv_sec && written.tv_nsec > newestTime.tv_nsec)) {
                newest = store;
                newestTime = written;
                newestSize = status.st_size;
            }
        }
    }
    // A store beyond the cap is not read at all.
    if (newest.empty() || static_cast<std::uint64_t>(newestSize) > kMaxSessionFile) {
        return std::nullopt;
    }
    const auto file = net::readWholeFile(newest, kMaxSessionFile);
    if (!file) {
        return std::nullopt;
    }
    const std::optional<QByteArray> json = DecodeMozLz4(*file);
    return json ? WindowInfoFromSessionJson(*json) : std::nullopt;
}

}  // namespace quendrix::firefox
