// Archives past the 32-bit limits, downloaded whole over loopback and opened by four real
// readers: a sparse 5 GiB file between two small ones, and 65,535 then 70,000 tiny files.
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

std::string run(const std::string& command, int* status) {
    return shellOutput(command + " 2>&1", status);
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

struct Download {
    std::string contentLength;
    std::uint64_t received = 0;  // body bytes
};

// Streams the archive into a file, leaving holes where the body is zeros, so the download of
// a sparse file costs no disk either.
Download downloadInto(std::uint16_t port, const fs::path& archive) {
    RawClient client(port);
    client.send("GET /api/zip?t=123456 HTTP/1.1\r\n\r\n");
    std::string raw;
    std::size_t headEnd;
    while ((headEnd = raw.find("\r\n\r\n")) == std::string::npos) {
        std::string more = client.readAtLeast(1);
        if (more.empty()) return {};
        raw += more;
    }
    Download download;
    download.contentLength = parseReply(raw).header("Content-Length").value_or("");
    int fd = ::open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return {};
    static const char zeros[65536] = {};
    std::string body = raw.substr(headEnd + 4);
    do {
        for (std::size_t at = 0; at < body.size(); at += sizeof zeros) {
            std::size_t n = std::min(sizeof zeros, body.size() - at);
            if (std::memcmp(body.data() + at, zeros, n) == 0)
                ::lseek(fd, static_cast<off_t>(n), SEEK_CUR);
            else if (::write(fd, body.data() + at, n) != static_cast<ssize_t>(n))
                ADD_FAILURE() << "cannot write " << archive;
        }
        download.received += body.size();
        body = client.readAtLeast(1 << 20, std::chrono::seconds(60));
    } while (!body.empty());
    if (::ftruncate(fd, static_cast<off_t>(download.received)) != 0) ADD_FAILURE();
    ::close(fd);
    return download;
}

// What each reader makes of the whole archive: every entry's CRC checked, the count listed.
void expectReadersAccept(const fs::path& archive, std::size_t entries) {
    int status = 0;
    std::string out = run("unzip -tq " + quoted(archive), &status);
    EXPECT_EQ(status, 0) << "unzip: " << out;
    out = run("7z t -bd " + quoted(archive), &status);
    EXPECT_EQ(status, 0) << "7z: " << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
    out = run("bsdtar -tf " + quoted(archive) + " | wc -l", &status);
    EXPECT_EQ(status, 0) << "bsdtar: " << out;
    EXPECT_EQ(std::stoull("0" + out), entries) << "bsdtar: " << out;
    out =
        run("python3 -c \"import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\n"
            "print(z.testzip(), len(z.infolist()))\" " +
                quoted(archive),
            &status);
    EXPECT_EQ(status, 0) << "zipfile: " << out;
    EXPECT_EQ(out, "None " + std::to_string(entries) + "\n") << "zipfile";
}

TEST(Zip64Readers, AFiveGiBFileBetweenTwoSmallOnes) {
    TestServer server;
    const std::int64_t big = 5ll << 30;
    fs::path files = server.folder() / "files";
    fs::create_directories(files);
    std::ofstream(files / "before.txt") << "before";
    std::ofstream(files / "after.txt") << "after 4 GiB";
    {  // sparse, with bytes at both ends and across the 4 GiB mark for the CRC to see
        std::fstream sparse(files / "big.bin", std::ios::out | std::ios::binary);
        sparse << "start";
        sparse.seekp(4294967290) << "across";
        sparse.seekp(big - 3) << "end";
    }
    server.server().mutateTables([&](server::ServerTables& t) {
        t.shared = {{"id0", files / "before.txt", "before.txt", 6},
                    {"id1", files / "big.bin", "big.bin", big},
                    {"id2", files / "after.txt", "after.txt", 11}};
    });

    fs::path archive = server.folder() / "got.zip";
    Download got = downloadInto(server.port(), archive);
    ASSERT_EQ(got.contentLength, std::to_string(got.received));
    ASSERT_GT(got.received, static_cast<std::uint64_t>(big));
    expectReadersAccept(archive, 3);

    // The entry behind the large one, found through its 64-bit offset by each reader.
    for (std::string reader : {"unzip -p", "7z e -so", "bsdtar -xOf"}) {
        int status = 0;
        std::string out = run(reader + " " + quoted(archive) + " after.txt", &status);
        EXPECT_EQ(status, 0) << reader << ": " << out;
        EXPECT_NE(out.find("after 4 GiB"), std::string::npos) << reader << ": " << out;
    }

    // The large file's progress counts past 4 GiB and ends done.
    ASSERT_TRUE(server.waitFor([&] {
        return server.server().withTables([](auto& t) {
            return t.dls.count("id2") && t.dls.at("id2").count("127.0.0.1") &&
                   t.dls.at("id2").at("127.0.0.1").done;
        });
    }));
    auto record =
        server.server().withTables([](auto& t) { return t.dls.at("id1").at("127.0.0.1"); });
    EXPECT_TRUE(record.done);
    EXPECT_EQ(record.sent, big);
    EXPECT_EQ(record.size, big);
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
    // The last count the end record holds stays in the classic format; one more file past it
    // and the archive needs its ZIP64 end records.
    for (std::size_t count : {std::size_t{65535}, std::size_t{70000}}) {
        SCOPED_TRACE(std::to_string(count) + " files");
        server.server().mutateTables([&](server::ServerTables& t) {
            t.shared.assign(shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(count));
        });
        fs::path archive = server.folder() / ("got" + std::to_string(count) + ".zip");
        Download got = downloadInto(server.port(), archive);
        ASSERT_EQ(got.contentLength, std::to_string(got.received));
        expectReadersAccept(archive, count);
        fs::remove(archive);
    }
}

}  // namespace
}  // namespace skiff::test
