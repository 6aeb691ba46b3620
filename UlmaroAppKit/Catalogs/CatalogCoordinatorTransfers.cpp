#include "UlmaroAppKit/Catalogs/CatalogCoordinator.h"
#include "UlmaroKit/Catalogs/CatalogArchive.h"
#include "UlmaroKit/Catalogs/EFUImporter.h"
#include "UlmaroKit/Index/FastHash64.h"
#include "UlmaroKit/Index/IndexWriter.h"
#include "UlmaroKit/Platform/MappedFile.h"
#include "UlmaroKit/Platform/Utf8.h"
#include "UlmaroKit/Platform/Uuid.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace ulmaro {
namespace fs = std::filesystem;
namespace {

constexpr const char* transferQueueLabel = "app.ulmaro.catalog-transfer";

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

bool isEFUList(const fs::path& file) {
    std::string extension = file.extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return extension == ".efu";
}

std::string hex(std::uint64_t value) {
    char digits[16];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value, 16).ptr;
    return std::string(digits, end);
}

// Runs `work` on a utility queue of its own, so that transfers overlap; the task keeps its
// queue until it starts.
void offMainThread(SerialQueueFactory& queues, std::function<void()> work) {
    std::shared_ptr<SerialQueue> queue =
        queues.makeQueue(transferQueueLabel, QueueQuality::utility);
    queue->async([queue, work = std::move(work)]() mutable {
        queue.reset();
        work();
    });
}

void syncFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "open");
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (result != 0) throw std::system_error(error, std::generic_category(), "fsync");
}

} // namespace

void CatalogCoordinator::countTransfer(std::int64_t step) {
    transfers_ += step;
    isTransferring_.set(transfers_ > 0);
}

void CatalogCoordinator::sweepTemporary() {
    std::error_code error;
    for (fs::directory_iterator it(temporaryRoot_, error), end; !error && it != end;
         it.increment(error))
        removeQuietly(it->path());
}

void CatalogCoordinator::exportCatalog(const std::string& id, fs::path destination,
                                       ExportCompletion completion) {
    // The folder, whatever the library says of the ID; the layout refuses an ID that is no
    // folder name.
    std::optional<fs::path> source;
    std::exception_ptr refused;
    try {
        source = library_.layout().directory(id);
    } catch (...) {
        refused = std::current_exception();
    }
    countTransfer(+1);
    std::weak_ptr<CatalogCoordinator*> weak = self_;
    offMainThread(queues_, [weak, &mainQueue = mainQueue_, source, refused,
                            destination = std::move(destination),
                            completion = std::move(completion)]() mutable {
        std::optional<std::string> message;
        try {
            if (refused) std::rethrow_exception(refused);
            CatalogArchive::exportCatalog(*source, destination);
        } catch (...) {
            message = "Couldn\u2019t export the catalog: " + describe(std::current_exception());
        }
        mainQueue.post([weak, message = std::move(message), completion = std::move(completion)] {
            const auto self = weak.lock();
            if (!self) return;
            (*self)->countTransfer(-1);
            if (completion) completion(message);
        });
    });
}

void CatalogCoordinator::importCatalog(fs::path file, ImportCompletion completion) {
    const WallTime now = clock_.now();
    countTransfer(+1);
    std::weak_ptr<CatalogCoordinator*> weak = self_;
    offMainThread(queues_, [weak, &mainQueue = mainQueue_, file = std::move(file), now,
                            temporaryRoot = temporaryRoot_,
                            completion = std::move(completion)]() mutable {
        std::variant<Unpacked, std::exception_ptr> unpacked;
        try {
            if (isEFUList(file)) {
                unpacked = unpackEFU(file, now, temporaryRoot);
            } else {
                CatalogArchive::Unpacked archive = CatalogArchive::unpack(file, temporaryRoot);
                unpacked = Unpacked{std::move(archive.info), std::move(archive.directory)};
            }
        } catch (...) {
            unpacked = std::current_exception();
        }
        mainQueue.post([weak, file = std::move(file), unpacked = std::move(unpacked),
                        completion = std::move(completion)] {
            const auto self = weak.lock();
            if (!self) {
                // Nobody will answer it: nothing may stay behind.
                if (const auto* made = std::get_if<Unpacked>(&unpacked))
                    removeQuietly(made->directory);
                return;
            }
            ImportOutcome outcome = (*self)->importOutcome(file, unpacked);
            (*self)->countTransfer(-1);
            if (completion) completion(std::move(outcome));
        });
    });
}

CatalogCoordinator::ImportOutcome
CatalogCoordinator::importOutcome(const fs::path& file,
                                  const std::variant<Unpacked, std::exception_ptr>& unpacked) {
    if (const auto* error = std::get_if<std::exception_ptr>(&unpacked))
        return Failed{"Couldn\u2019t import \u201C" + repairUtf8(file.filename().string()) +
                      "\u201D: " + describe(*error)};
    const Unpacked& made = std::get<Unpacked>(unpacked);
    for (const CatalogEntry& entry : library_.entries())
        if (sameIdentity(entry.info, made.info))
            return Conflict{entry.info.name,
                            PendingImport{made.info, made.directory, entry.id(), made.note}};
    return install(made);
}

CatalogCoordinator::ImportOutcome CatalogCoordinator::install(const Unpacked& unpacked) {
    CatalogInfo info = unpacked.info;
    fs::path folder;
    try {
        // Never the ID an archive came with: it may be a catalog of this library.
        info.id = uuidString();
        folder = library_.layout().directory(info.id);
        fs::create_directories(folder);
        moveFile(unpacked.directory / "index.bin", library_.layout().indexURL(info.id));
        info.write(library_.layout().infoURL(info.id));
    } catch (...) {
        if (!folder.empty()) removeQuietly(folder);
        removeQuietly(unpacked.directory);
        return Failed{"Couldn\u2019t save the imported catalog: " +
                      describe(std::current_exception())};
    }
    removeQuietly(unpacked.directory);
    library_.reload(info.id);
    syncWatchers();
    changed();
    return Imported{info.id, unpacked.note};
}

CatalogCoordinator::ImportOutcome CatalogCoordinator::resolve(const PendingImport& pending,
                                                              bool replace) {
    if (!replace) {
        removeQuietly(pending.directory);
        return Failed{""};
    }
    ImportOutcome outcome = install({pending.info, pending.directory, pending.note});
    if (std::holds_alternative<Imported>(outcome) && !forget(pending.replacing))
        return Failed{"Imported, but couldn\u2019t move the old catalog to the Trash."};
    return outcome;
}

void CatalogCoordinator::moveFile(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (!error) return;
    if (error != std::errc::cross_device_link)
        throw fs::filesystem_error("rename", from, to, error);
    // Another file system: a copy made durable before the original goes.
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    syncFile(to);
    fs::remove(from);
}

CatalogCoordinator::Unpacked CatalogCoordinator::unpackEFU(const fs::path& file, WallTime now,
                                                           const fs::path& temporaryRoot) {
    const MappedFile list = MappedFile::open(file);
    EFUImporter::Result imported = EFUImporter::build(list.bytes());
    const fs::path directory = temporaryRoot / ("efu-import-" + uuidString());
    fs::create_directories(directory);
    const std::string identity = "efu:" + hex(FastHash64::hash(list.bytes()));
    try {
        const std::vector<VolumeEntry> volumes{{identity, "", 0, false}};
        IndexWriter::write(imported.builder, volumes, directory / "index.bin");
    } catch (...) {
        removeQuietly(directory);
        throw;
    }
    CatalogInfo info;
    info.id = uuidString();
    info.kind = CatalogInfo::Kind::efu;
    info.volumeUUID = identity;
    info.name = file.stem().string();
    info.fileCount = imported.stats.fileCount;
    info.folderCount = imported.stats.folderCount;
    info.totalBytes = imported.stats.totalBytes;
    info.lastCatalogued = now;
    std::string note;
    if (imported.refusedRows > 0)
        note = refusedRowsNote(info.name, imported.refusedRows, imported.rows);
    return {std::move(info), directory, std::move(note)};
}

std::string CatalogCoordinator::refusedRowsNote(const std::string& name, std::int64_t refused,
                                                std::int64_t rows) {
    const bool one = refused == 1;
    return "Imported \u201C" + repairUtf8(name) + "\u201D, but skipped " + std::to_string(refused) +
           " of its " + std::to_string(rows) + (rows == 1 ? " row: " : " rows: ") +
           (one ? "its path holds \u201C.\u201D or \u201C..\u201D or isn\u2019t a Windows path."
                : "their paths hold \u201C.\u201D or \u201C..\u201D or aren\u2019t Windows "
                  "paths.");
}

} // namespace ulmaro
