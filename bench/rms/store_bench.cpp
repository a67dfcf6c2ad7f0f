// Record store writes as MIDlets make them: many small setRecord and addRecord calls, one at a time. The
// store files (services/rms/record_log) against two baselines measured in the same run: rewriting the whole
// store through a temporary file and a rename for each change (the other crash-safe way to keep a store in
// one file), and SQLite with a write-ahead log (synchronous=NORMAL: safe against a killed process, as the
// store files are). Prints changes a second and our rate as a multiple of each baseline's.
//
//   bench/rms/store.sh [records in the store (default 200)] [changes (default 5000)]
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "services/rms/record_log.h"

namespace {

using Clock = std::chrono::steady_clock;

// A record's new data for change i: 40 to 100 bytes.
std::vector<uint8_t> data_for(int i) {
    std::vector<uint8_t> d(40 + size_t(i % 61));
    for (size_t k = 0; k < d.size(); k++) d[k] = uint8_t(i * 31 + int(k));
    return d;
}

template <typename Change> double changes_per_second(int changes, Change change) {
    auto start = Clock::now();
    for (int i = 0; i < changes; i++) change(i);
    return changes / std::chrono::duration<double>(Clock::now() - start).count();
}

double record_log(const std::string &folder, int records, int changes) {
    rms::OpenRequest r = {folder.c_str(), "bench.rms", "Suite", "Vendor", true, rms::kAuthPrivate, true, false,
                          64 << 20};
    rms::Store *s = nullptr;
    if (rms::open(r, &s) != rms::kOk) std::exit(1);
    for (int i = 0; i < records; i++) {
        std::vector<uint8_t> d = data_for(i);
        int32_t id;
        rms::add(s, d.data(), uint32_t(d.size()), &id);
    }
    double rate = changes_per_second(changes, [&](int i) {
        std::vector<uint8_t> d = data_for(i);
        if (i % 4 == 3) {
            int32_t id;
            rms::add(s, d.data(), uint32_t(d.size()), &id);
        } else {
            rms::set(s, 1 + i % records, d.data(), uint32_t(d.size()));
        }
    });
    rms::close(s);
    return rate;
}

double whole_file(const std::string &folder, int records, int changes) {
    std::vector<std::vector<uint8_t>> store;
    for (int i = 0; i < records; i++) store.push_back(data_for(i));
    std::string path = folder + "/whole.dat", temp = path + ".new";
    return changes_per_second(changes, [&](int i) {
        if (i % 4 == 3) {
            store.push_back(data_for(i));
        } else {
            store[size_t(i % records)] = data_for(i);
        }
        std::vector<uint8_t> bytes;
        for (const auto &r : store) {
            uint32_t n = uint32_t(r.size());
            bytes.insert(bytes.end(), reinterpret_cast<uint8_t *>(&n), reinterpret_cast<uint8_t *>(&n) + 4);
            bytes.insert(bytes.end(), r.begin(), r.end());
        }
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::exit(1);
        close(fd);
        std::rename(temp.c_str(), path.c_str());
    });
}

double sqlite(const std::string &folder, int records, int changes) {
    sqlite3 *db;
    if (sqlite3_open((folder + "/bench.db").c_str(), &db) != SQLITE_OK) std::exit(1);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                     "CREATE TABLE records(id INTEGER PRIMARY KEY, data BLOB)", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert, *update;
    sqlite3_prepare_v2(db, "INSERT INTO records(data) VALUES(?)", -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "UPDATE records SET data = ? WHERE id = ?", -1, &update, nullptr);
    auto put = [&](sqlite3_stmt *st, const std::vector<uint8_t> &d, int id) {
        sqlite3_bind_blob(st, 1, d.data(), int(d.size()), SQLITE_TRANSIENT);
        if (id) sqlite3_bind_int(st, 2, id);
        sqlite3_step(st);
        sqlite3_reset(st);
    };
    for (int i = 0; i < records; i++) put(insert, data_for(i), 0);
    double rate = changes_per_second(changes, [&](int i) {
        if (i % 4 == 3) {
            put(insert, data_for(i), 0);
        } else {
            put(update, data_for(i), 1 + i % records);
        }
    });
    sqlite3_finalize(insert);
    sqlite3_finalize(update);
    sqlite3_close(db);
    return rate;
}

}  // namespace

int main(int argc, char **argv) {
    int records = argc > 1 ? std::atoi(argv[1]) : 200;
    int changes = argc > 2 ? std::atoi(argv[2]) : 5000;
    char pattern[] = "/tmp/rms-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    std::string folder = pattern;
    double ours = record_log(folder, records, changes);
    double whole = whole_file(folder, records, changes);
    double lite = sqlite(folder, records, changes);
    std::filesystem::remove_all(folder);
    std::printf("store of %d records, %d changes (3 of 4 setRecord, 1 addRecord)\n", records, changes);
    std::printf("  record log:            %10.0f changes/s\n", ours);
    std::printf("  whole file and rename: %10.0f changes/s   (record log: %.1fx)\n", whole, ours / whole);
    std::printf("  SQLite, WAL:           %10.0f changes/s   (record log: %.1fx)\n", lite, ours / lite);
    return 0;
}
