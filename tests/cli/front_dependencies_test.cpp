// The front quendrix-cli loads neither Qt nor libcurl: its start-up is what makes a short trace
// cost what a plain traceroute costs. Read from the program file itself (the libraries it
// names, DT_NEEDED of its dynamic section) and from the dynamic loader (every library a start
// would load, those pulled in by others included). The same reader run over this test program,
// which does link Qt, shows the checks can see a Qt library where there is one.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <elf.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef QUENDRIX_CLI_PATH
#error "QUENDRIX_CLI_PATH is not defined: call quendrix_test_uses_cli() for this test"
#endif

namespace quendrix::test {
namespace {

// The names in DT_NEEDED of a 64-bit ELF file, in order; fails the test on a file that is no
// such ELF.
std::vector<std::string> NeededLibraries(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::vector<std::string> needed;
    Elf64_Ehdr header{};
    if (image.size() < sizeof header) {
        ADD_FAILURE() << path << ": too short for an ELF file";
        return needed;
    }
    std::memcpy(&header, image.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr) ||
        header.e_phoff + std::size_t{header.e_phnum} * sizeof(Elf64_Phdr) > image.size()) {
        ADD_FAILURE() << path << ": not a 64-bit ELF file with program headers";
        return needed;
    }
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    std::memcpy(segments.data(), image.data() + header.e_phoff,
                segments.size() * sizeof(Elf64_Phdr));
    // The string table is named by its address once loaded: find it in the file.
    const auto fileOffset = [&](Elf64_Addr address) -> std::size_t {
        for (const Elf64_Phdr& segment : segments) {
            if (segment.p_type == PT_LOAD && address >= segment.p_vaddr &&
                address < segment.p_vaddr + segment.p_filesz) {
                return segment.p_offset + (address - segment.p_vaddr);
            }
        }
        return image.size();
    };
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type != PT_DYNAMIC || segment.p_offset + segment.p_filesz > image.size()) {
            continue;
        }
        std::vector<Elf64_Dyn> entries(segment.p_filesz / sizeof(Elf64_Dyn));
        std::memcpy(entries.data(), image.data() + segment.p_offset,
                    entries.size() * sizeof(Elf64_Dyn));
        std::size_t strings = image.size();
        for (const Elf64_Dyn& entry : entries) {
            if (entry.d_tag == DT_STRTAB) {
                strings = fileOffset(entry.d_un.d_ptr);
            }
        }
        for (const Elf64_Dyn& entry : entries) {
            if (entry.d_tag == DT_NULL) {
                break;
            }
            if (entry.d_tag == DT_NEEDED) {
                const std::size_t at = strings + entry.d_un.d_val;
                if (at >= image.size()) {
                    ADD_FAILURE() << path << ": DT_NEEDED outside the file";
                    continue;
                }
                needed.emplace_back(image.c_str() + at);
            }
        }
    }
    return needed;
}

// Every library a start of the program loads, as the dynamic loader lists them without running
// the program (what ldd shows): the first word of each line.
std::vector<std::string> LoadedLibraries(const std::string& path) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(path), {});
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::vector<std::string> loaded;
    const QStringList lines =
        QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString name = line.trimmed().section(QLatin1Char(' '), 0, 0);
        if (!name.isEmpty()) {
            loaded.push_back(name.toStdString());
        }
    }
    return loaded;
}

// The libraries of `names` that are Qt's or libcurl's.
std::vector<std::string> Forbidden(const std::vector<std::string>& names) {
    std::vector<std::string> found;
    for (const std::string& name : names) {
        const std::string file = name.substr(name.rfind('/') + 1);
        if (file.rfind("libQt", 0) == 0 || file.rfind("libcurl", 0) == 0) {
            found.push_back(name);
        }
    }
    return found;
}

std::string SelfPath() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

TEST(FrontDependencies, TheFrontNamesAndLoadsNeitherQtNorLibcurl) {
    const std::string front = QUENDRIX_CLI_PATH;
    const std::vector<std::string> needed = NeededLibraries(front);
    ASSERT_FALSE(needed.empty()) << "no DT_NEEDED read from " << front;
    EXPECT_EQ(Forbidden(needed), std::vector<std::string>{}) << "named by " << front;
    const std::vector<std::string> loaded = LoadedLibraries(front);
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(Forbidden(loaded), std::vector<std::string>{}) << "loaded by " << front;
}

TEST(FrontDependencies, TheChecksSeeQtInAProgramThatLinksIt) {
    const std::string self = SelfPath();
    ASSERT_FALSE(self.empty());
    const std::vector<std::string> named = Forbidden(NeededLibraries(self));
    EXPECT_NE(std::find(named.begin(), named.end(), "libQt6Core.so.6"), named.end());
    EXPECT_FALSE(Forbidden(LoadedLibraries(self)).empty());
}

}  // namespace
}  // namespace quendrix::test
