// Archives past the 32-bit limits, downloaded over loopback and opened by four real readers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "support/raw_client.hpp"
#include "support/server_fixture.hpp"
#include "support/shell_output.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

// Into a sparse file (zeros become holes); returns the body's length. One read at a time: growing
// a string to a mebibyte costs the sanitizers more than the server's whole send.
std::uint64_t downloadInto(std::uint16_t port, const fs::path& archive) {
    RawClient client(port);
    client.send("GET /api/zip?t=123456 HTTP/1.1\r\n\r\n");
    std::string body = client.readAtLeast(1 << 16);
    Reply head = parseReply(body);
    body.erase(0, head.head.size() + 4);
    int fd = ::open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    static const char zeros[65536] = {};
    std::uint64_t received = 0;
    for (; !body.empty(); body = client.readAtLeast(1, std::chrono::seconds(60))) {
        for (std::size_t at = 0; at < body.size(); at += sizeof zeros) {
            std::size_t n = std::min(sizeof zeros, body.size() - at);
            if (std::memcmp(body.data() + at, zeros, n) == 0)
                ::lseek(fd, static_cast<off_t>(n), SEEK_CUR);
            else if (::write(fd, body.data() + at, n) != static_cast<ssize_t>(n))
                ADD_FAILURE() << "cannot write " << archive;
        }
        received += body.size();
    }
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(received)), 0);
    ::close(fd);
    EXPECT_EQ(head.header("Content-Length"), std::to_string(received));
    return received;
}

// Every entry read at its (64-bit) offset and its CRC checked, and the count listed.
void expectReadersAccept(const fs::path& archive, std::size_t entries) {
    const std::pair<const char*, std::string> readers[] = {
        {"unzip -tq", ""},
        {"7z t -bd", ""},
        {"bsdtar -tf", ""},
        {"python3 -c \"import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\n"
         "print(z.testzip(), len(z.infolist()))\"",
         "None " + std::to_string(entries) + "\n"}};
    for (const auto& [reader, expected] : readers) {
        int status = 0;
        std::string out =
            shellOutput(std::string(reader) + " '" + archive.string() + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << reader << ": "
                             << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
        EXPECT_TRUE(expected.empty() || out == expected) << reader << ": " << out;
        EXPECT_TRUE(reader[0] != 'b' || std::count(out.begin(), out.end(), '\n') == long(entries));
    }
}

TEST(Zip64Readers, AFiveGiBFileBetweenTwoSmallOnes) {
    TestServer server;
    const std::int64_t big = 5ll << 30;
    fs::path files = server.folder() / "files";
    fs::create_directories(files);
    std::ofstream(files / "before.txt") << "before";
    std::ofstream(files / "after.txt") << "after 4 GiB";
    {  // sparse, with bytes at both ends and across 4 GiB for the CRC to see
        std::fstream sparse(files / "big.bin", std::ios::out | std::ios::binary);
        sparse << "start";
        sparse.seekp(4294967290) << "across";
        sparse.seekp(big - 3) << "end";
    }
    server.share({{"id0", files / "before.txt", "before.txt", 6},
                  {"id1", files / "big.bin", "big.bin", big},
                  {"id2", files / "after.txt", "after.txt", 11}});
    fs::path archive = server.folder() / "got.zip";
    ASSERT_GT(downloadInto(server.port(), archive), static_cast<std::uint64_t>(big));
    expectReadersAccept(archive, 3);

    // The large file's progress counts past 4 GiB and ends done.
    ASSERT_TRUE(server.waitDone("id2") && server.waitDone("id1"));
    EXPECT_EQ(
        server.server().withTables([](auto& t) { return t.dls.at("id1").at("127.0.0.1").sent; }),
        big);
}

TEST(Zip64Readers, SeventyThousandTinyFiles) {
    TestServer server;
    fs::path files = server.folder() / "files";
    fs::create_directories(files);
    std::vector<server::SharedFile> shared;
    for (int i = 0; i < 70000; ++i) {
        std::string name = "f" + std::to_string(i) + ".txt";
        std::ofstream(files / name) << i;
        shared.push_back({"id" + std::to_string(i), files / name, name,
                          static_cast<std::int64_t>(std::to_string(i).size())});
    }
    // The last count the classic end record holds, and past it.
    for (std::size_t count : {std::size_t{65535}, std::size_t{70000}}) {
        SCOPED_TRACE(std::to_string(count) + " files");
        server.share({shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(count)});
        fs::path archive = server.folder() / ("got" + std::to_string(count) + ".zip");
        downloadInto(server.port(), archive);
        expectReadersAccept(archive, count);
        fs::remove(archive);
    }
}

}  // namespace
}  // namespace skiff::test
