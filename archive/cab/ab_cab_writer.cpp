// The writing side of the cabinet archive: new cabinets built from disk files through the
// compression interface of the cabinet library.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "archive/cab/ab_cab_archive.h"
#include "archive/cab/ab_code_page.h"
#include "archive/cab/ab_fci_fdi.h"
#include "archive/core/ab_date_time.h"
#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_file_system.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"

using namespace pelmora;

namespace {

// Copies text into a fixed narrow field of the cabinet parameters, cut to fit with its zero.
void copyField(char (&field)[CAB_MAX_NAME], const std::string& text) {
    std::size_t n = std::min(text.size(), sizeof field - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

TCOMP compressionCode(TAbCabCompressionType type) {
    switch (type) {
        case ctMSZIP:
            return tcompTYPE_MSZIP;
        case ctLZX:
            return static_cast<TCOMP>(tcompTYPE_LZX | (18 << tcompSHIFT_LZX_WINDOW));
        case ctNone:
        default:
            return tcompTYPE_NONE;
    }
}

TFileStream* fileOf(CabHandle handle) {
    return static_cast<TFileStream*>(streamOf(handle));
}

// Answers the library for a file callback: the failure value with *err set when the body
// raised; the exception is raised again once the library has returned.
template <typename T, typename Body>
T answerFileCallback(T failure, int* err, Body&& body) noexcept {
    T result = answerLibrary<T>(failure, std::forward<Body>(body));
    if (result == failure && err) *err = EIO;
    return result;
}

std::u16string systemTempFolder() {
    std::error_code ignored;
    return fromFsPath(std::filesystem::temp_directory_path(ignored));
}

}  // namespace

// The callbacks handed to the library; the archive arrives as the user pointer.
struct CabWriterCallbacks {
    static TAbCabArchive& archiveOf(void* user) { return *static_cast<TAbCabArchive*>(user); }

    static int CABINET_CC FciFilePlaced(FCICabInfo*, char*, int32_t, CabBool, void*) { return 0; }

    static CabHandle CABINET_CC FciCreateFile(char* name, int, int, int* err, void*) {
        return answerFileCallback<CabHandle>(-1, err, [&]() -> CabHandle {
            try {
                auto* file = new TFileStream(codepage::narrowToUtf16(name), TFileOpenMode::Create);
                return handleOf(*file);
            } catch (const EStreamError&) {
                throw EAbFCIFileOpenError();
            }
        });
    }

    static uint32_t CABINET_CC FciReadFile(CabHandle h, void* buffer, uint32_t count, int* err,
                                           void*) {
        return answerFileCallback<uint32_t>(static_cast<uint32_t>(-1), err, [&] {
            int32_t n = fileOf(h)->Read(buffer, static_cast<int32_t>(count));
            if (n < 0) throw EAbFCIFileReadError();
            return static_cast<uint32_t>(n);
        });
    }

    static uint32_t CABINET_CC FciWriteFile(CabHandle h, void* buffer, uint32_t count, int* err,
                                            void*) {
        return answerFileCallback<uint32_t>(static_cast<uint32_t>(-1), err, [&] {
            int32_t n = fileOf(h)->Write(buffer, static_cast<int32_t>(count));
            if (n < 0) throw EAbFCIFileWriteError();
            return static_cast<uint32_t>(n);
        });
    }

    static int CABINET_CC FciCloseFile(CabHandle h, int* err, void*) {
        return answerFileCallback<int>(-1, err, [&] {
            TFileStream* file = fileOf(h);
            bool closed = file->Close();
            delete file;
            if (!closed) throw EAbFCIFileCloseError();
            return 0;
        });
    }

    static int32_t CABINET_CC FciSeekFile(CabHandle h, int32_t offset, int origin, int* err,
                                          void*) {
        return answerFileCallback<int32_t>(-1, err, [&] {
            int64_t pos = fileOf(h)->Seek(offset, static_cast<TSeekOrigin>(origin & 0xFFFF));
            if (pos < 0) throw EAbFCIFileSeekError();
            return static_cast<int32_t>(pos);
        });
    }

    static int CABINET_CC FciDeleteFile(char* name, int* err, void*) {
        return answerFileCallback<int>(-1, err, [&] {
            std::error_code failure;
            if (!std::filesystem::remove(toFsPath(codepage::narrowToUtf16(name)), failure)) {
                throw EAbFCIFileDeleteError();
            }
            return 1;
        });
    }

    static CabBool CABINET_CC FciGetTempFile(char* buffer, int size, void* user) {
        return answerLibrary<CabBool>(0, [&]() -> CabBool {
            TAbCabArchive& archive = archiveOf(user);
            archive.FTempFileID += 1;
            std::u16string folder =
                archive.TempDirectory().empty() ? systemTempFolder() : archive.TempDirectory();
            std::string narrowFolder = codepage::utf16ToNarrow(folder).substr(0, 255);
            if (!narrowFolder.empty() && narrowFolder.back() != '/' && narrowFolder.back() != '\\')
                narrowFolder += static_cast<char>(pathSeparator(NativePathStyle));
            char unique[16];
            std::snprintf(unique, sizeof unique, "%X",
                          static_cast<unsigned>(archive.FTempFileID) & 0xFFFF);
            std::string name = narrowFolder + "VMS" + unique + ".TMP";
            // The buffer's size is respected: a name that does not fit is refused, not cut.
            if (size <= 0 || name.size() + 1 > static_cast<std::size_t>(size)) return 0;
            std::memcpy(buffer, name.c_str(), name.size() + 1);
            return 1;
        });
    }

    static CabBool CABINET_CC FciGetNextCabinet(FCICabInfo* cabInfo, uint32_t, void* user) {
        return answerLibrary<CabBool>(0, [&]() -> CabBool {
            TAbCabArchive& archive = archiveOf(user);
            std::u16string name = codepage::narrowToUtf16(cabInfo->szCab);
            bool abort = false;
            auto number = static_cast<uint16_t>(cabInfo->iCab - 1);
            if (archive.OnRequestImage()) {
                archive.OnRequestImage()(archive, number, name, abort);
            } else {
                IncrementNumberedExtension(name, number);
            }
            if (abort) return 0;
            copyField(cabInfo->szCab, codepage::utf16ToNarrow(name));
            return 1;
        });
    }

    static CabHandle CABINET_CC FciGetOpenInfo(char* name, unsigned short* date,
                                               unsigned short* time, unsigned short* attribs,
                                               int* err, void* user) {
        return answerFileCallback<CabHandle>(-1, err, [&]() -> CabHandle {
            TAbCabArchive& archive = archiveOf(user);
            // The source name travels through the library as UTF-8 of the disk file name.
            std::u16string fileName = codepage::utf8ToUtf16(name);
            std::unique_ptr<TFileStream> file;
            try {
                file = std::make_unique<TFileStream>(fileName, TFileOpenMode::ReadShareDenyNone);
            } catch (const EStreamError&) {
                throw EAbFCIFileOpenError();
            }
            TFileAttributeInfo info;
            if (!QueryFileAttributes(fileName, info)) throw EAbFileNotFound();
            uint16_t attributes = static_cast<uint16_t>(info.Attr & 0xFFFF);
            uint32_t stamp = DateTimeToDosDateTime(info.Time);
            *date = static_cast<unsigned short>(stamp >> 16);
            *time = static_cast<unsigned short>(stamp & 0xFFFF);
            archive.FItemProgress = 0;
            TAbCabItem* item = archive.FItemInProgress;
            item->SetUncompressedSize(info.Size);
            const std::string& raw = item->RawFileName();
            if (std::any_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) != 0; }))
                attributes |= CAB_ATTRIB_NAME_IS_UTF;
            *attribs = attributes;
            return handleOf(*file.release());
        });
    }

    static int32_t CABINET_CC FciStatus(unsigned int type, uint32_t, uint32_t cb2, void* user) {
        return answerLibrary<int32_t>(-1, [&]() -> int32_t {
            TAbCabArchive& archive = archiveOf(user);
            switch (type) {
                case statusFile: {
                    if (!archive.OnArchiveItemProgress()) return 0;
                    archive.FItemProgress += cb2;
                    bool abort = false;
                    TAbCabItem* item = archive.FItemInProgress;
                    archive.OnArchiveItemProgress()(
                        archive, item, Percentage(archive.FItemProgress, item->UncompressedSize()),
                        abort);
                    return abort ? -1 : 0;
                }
                case statusFolder:
                    archive.FCabSize += static_cast<int32_t>(cb2);
                    return 0;
                case statusCabinet:
                    archive.NotifySave();
                    archive.FCabSize = static_cast<int32_t>(cb2);
                    return static_cast<int32_t>(cb2);
                default:
                    return 0;
            }
        });
    }
};

void TAbCabArchive::CreateWriteContext() {
    FFCICabInfo = FCICabInfo{};
    FFCICabInfo.cb = SpanningThreshold() > 0 ? static_cast<uint32_t>(SpanningThreshold()) : 0;
    FFCICabInfo.cbFolderThresh = FFolderThreshold;
    FFCICabInfo.iCab = 1;
    FFCICabInfo.iDisk = 0;
    FFCICabInfo.fFailOnIncompressible = 0;
    FFCICabInfo.setID = FSetID;
    copyField(FFCICabInfo.szDisk, "");
    copyField(FFCICabInfo.szCab, FCabName);
    copyField(FFCICabInfo.szCabPath, FCabPath);
    using C = CabWriterCallbacks;
    FFCIContext =
        pelmora::FCICreate(&FErrors, C::FciFilePlaced, CabAlloc, CabFree, C::FciCreateFile,
                           C::FciReadFile, C::FciWriteFile, C::FciCloseFile, C::FciSeekFile,
                           C::FciDeleteFile, C::FciGetTempFile, &FFCICabInfo, this);
    // A missing context is an error even when the library left no error behind.
    if (!FFCIContext) {
        CloseCabinetContexts();
        throw EAbFCICreateError();
    }
}

void TAbCabArchive::closeWriteContext(FCIContext context) {
    using C = CabWriterCallbacks;
    struct DestroyOnExit {
        FCIContext context;
        ~DestroyOnExit() {
            try {
                pelmora::FCIDestroy(context);
            } catch (...) {
                // Destruction frees only memory and temporary files.
            }
        }
    } destroy{context};
    pelmora::FCIFlushCabinet(context, 0, C::FciGetNextCabinet, C::FciStatus);
}

void TAbCabArchive::Add(std::unique_ptr<TAbArchiveItem> aItem) {
    EnsureValid();
    auto* item = dynamic_cast<TAbCabItem*>(aItem.get());
    if (FMode != 1 || !item) {
        ReportItemFailure(aItem.get(), ptAdd, ecCabError, 0);
        return;
    }
    if (ItemList().IsActiveDupe(aItem->FileName())) {
        ReportItemFailure(aItem.get(), ptAdd, ecCorvana, 7);
        return;
    }
    bool confirm = true;
    ConfirmProcessItem(aItem.get(), ptAdd, confirm);
    if (!confirm) return;
    FItemInProgress = item;
    item->SetAction(aaAdd);
    item->SetRawFileName(utf16ToUtf8(item->FileName()));
    std::string source = utf16ToUtf8(item->DiskFileName());
    std::string stored = item->RawFileName();
    using C = CabWriterCallbacks;
    bool added = pelmora::FCIAddFile(FFCIContext, source.data(), stored.data(), 0,
                                     C::FciGetNextCabinet, C::FciStatus, C::FciGetOpenInfo,
                                     compressionCode(FCompressionType)) != 0;
    if (!added) {
        FItemInProgress = nullptr;
        throw EAbFCIAddFileError();
    }
    ItemList().Add(aItem.release());
    SetIsDirty(true);
}

std::unique_ptr<TAbArchiveItem> TAbCabArchive::NewItem(const std::u16string& FileSpec) {
    auto item = std::make_unique<TAbCabItem>();
    item->SetCompressedSize(0);
    // A relative name is one found under the base directory by the adding operations.
    std::u16string path = FileSpec;
    if (!FBaseDirectory.empty() && ClassifyPath(FileSpec) != pkFullPath)
        path = JoinPath(FBaseDirectory, FileSpec);
    std::error_code ignored;
    item->SetDiskFileName(fromFsPath(std::filesystem::absolute(toFsPath(path), ignored)));
    item->SetFileName(NormalizeStoredName(FileSpec));
    return item;
}

void TAbCabArchive::NewCabinet() {
    using C = CabWriterCallbacks;
    if (!pelmora::FCIFlushCabinet(FFCIContext, 1, C::FciGetNextCabinet, C::FciStatus))
        throw EAbFCIFlushCabinetError();
}

void TAbCabArchive::NewFolder() {
    using C = CabWriterCallbacks;
    if (!pelmora::FCIFlushFolder(FFCIContext, C::FciGetNextCabinet, C::FciStatus))
        throw EAbFCIFlushFolderError();
}

void TAbCabArchive::SetSetID(uint16_t Value) {
    FSetID = Value;
    FFCICabInfo.setID = Value;
}

void TAbCabArchive::SetFolderThreshold(uint32_t Value) {
    FFolderThreshold = Value;
    FFCICabInfo.cbFolderThresh = Value;
}

void TAbCabArchive::WriteSpanningThreshold(int64_t Value) {
    TAbArchive::WriteSpanningThreshold(Value > 0 ? Value : 0);
    FFCICabInfo.cb = static_cast<uint32_t>(Value > 0 ? Value : 0);
}
