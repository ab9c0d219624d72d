#include "archive/components/ab_cab_extractor.h"

#include "archive/core/ab_exceptions.h"

TAbCustomCabExtractor::TAbCustomCabExtractor(TComponent* AOwner) : TAbCustomCabBrowser(AOwner) {
    SetExtractOptions(TAbExtractOptions{eoCreateDirs});
}

void TAbCustomCabExtractor::SetExtractOptions(TAbExtractOptions Value) {
    FExtractOptions = Value;
    if (FArchive) FArchive->SetExtractOptions(Value);
}

void TAbCustomCabExtractor::HandleConfirmOverwrite(std::u16string& Name, bool& Confirm) {
    if (FOnConfirmOverwrite) FOnConfirmOverwrite(Name, Confirm);
}

void TAbCustomCabExtractor::PrepareArchive() {
    TAbCustomCabBrowser::PrepareArchive();
    if (!FArchive) return;
    FArchive->SetExtractOptions(FExtractOptions);
    FArchive->SetOnConfirmOverwrite(
        [this](std::u16string& name, bool& confirm) { HandleConfirmOverwrite(name, confirm); });
}

TAbArchive& TAbCustomCabExtractor::openArchive() {
    if (!FArchive) throw EAbNoArchive();
    return *FArchive;
}

void TAbCustomCabExtractor::ExtractAt(int32_t Index, const std::u16string& NewName) {
    openArchive().ExtractAt(Index, NewName);
}

void TAbCustomCabExtractor::ExtractFiles(const std::u16string& FileMask) {
    openArchive().ExtractFiles(FileMask);
}

void TAbCustomCabExtractor::ExtractFilesEx(const std::u16string& FileMask,
                                           const std::u16string& ExclusionMask) {
    openArchive().ExtractFilesEx(FileMask, ExclusionMask);
}

void TAbCustomCabExtractor::ExtractTaggedItems() {
    openArchive().ExtractTaggedItems();
}

namespace {

TAbCabExtractor& self(TComponent& c) {
    return static_cast<TAbCabExtractor&>(c);
}

template <typename T>
T valueOf(const std::any& v) {
    return std::any_cast<T>(v);
}

// A property that is read only, and so never saved.
TPublishedProperty readOnly(const char16_t* name, std::function<std::any(TComponent&)> read) {
    return {name, std::move(read), nullptr, nullptr};
}

// An event property: saved when a handler is set.
template <typename Event, typename Get, typename Set>
TPublishedProperty event(const char16_t* name, Get get, Set set) {
    return {name, [get](TComponent& c) { return std::any(get(self(c))); },
            [set](TComponent& c, const std::any& v) { set(self(c), valueOf<Event>(v)); },
            [get](TComponent& c) { return static_cast<bool>(get(self(c))); }};
}

}  // namespace

std::vector<TPublishedProperty> TAbCabExtractor::PublishedProperties() {
    using E = TAbCabExtractor;
    std::vector<TPublishedProperty> list = TAbCustomCabExtractor::PublishedProperties();
    std::vector<TPublishedProperty> own = {
        {u"ArchiveProgressMeter",
         [](TComponent& c) { return std::any(self(c).ArchiveProgressMeter()); },
         [](TComponent& c, const std::any& v) {
             self(c).SetArchiveProgressMeter(valueOf<IAbProgressMeter*>(v));
         },
         [](TComponent& c) { return self(c).ArchiveProgressMeter() != nullptr; }},
        {u"BaseDirectory", [](TComponent& c) { return std::any(self(c).BaseDirectory()); },
         [](TComponent& c, const std::any& v) {
             self(c).SetBaseDirectory(valueOf<std::u16string>(v));
         },
         [](TComponent& c) { return !self(c).BaseDirectory().empty(); }},
        readOnly(u"CabSize", [](TComponent& c) { return std::any(self(c).CabSize()); }),
        readOnly(u"CurrentCab", [](TComponent& c) { return std::any(self(c).CurrentCab()); }),
        {u"ExtractOptions", [](TComponent& c) { return std::any(self(c).ExtractOptions()); },
         [](TComponent& c, const std::any& v) {
             self(c).SetExtractOptions(valueOf<TAbExtractOptions>(v));
         },
         [](TComponent& c) {
             return !(self(c).ExtractOptions() == TAbExtractOptions{eoCreateDirs});
         }},
        readOnly(u"FolderCount", [](TComponent& c) { return std::any(self(c).FolderCount()); }),
        readOnly(u"HasNext", [](TComponent& c) { return std::any(self(c).HasNext()); }),
        readOnly(u"HasPrev", [](TComponent& c) { return std::any(self(c).HasPrev()); }),
        {u"ItemProgressMeter", [](TComponent& c) { return std::any(self(c).ItemProgressMeter()); },
         [](TComponent& c, const std::any& v) {
             self(c).SetItemProgressMeter(valueOf<IAbProgressMeter*>(v));
         },
         [](TComponent& c) { return self(c).ItemProgressMeter() != nullptr; }},
        event<TAbBrowserProgressEvent>(
            u"OnArchiveProgress", [](E& e) { return e.OnArchiveProgress(); },
            [](E& e, TAbBrowserProgressEvent v) { e.SetOnArchiveProgress(std::move(v)); }),
        event<TAbBrowserItemProgressEvent>(
            u"OnArchiveItemProgress", [](E& e) { return e.OnArchiveItemProgress(); },
            [](E& e, TAbBrowserItemProgressEvent v) { e.SetOnArchiveItemProgress(std::move(v)); }),
        event<TAbNotifyEvent>(
            u"OnChange", [](E& e) { return e.OnChange(); },
            [](E& e, TAbNotifyEvent v) { e.SetOnChange(std::move(v)); }),
        event<TAbConfirmOverwriteEvent>(
            u"OnConfirmOverwrite", [](E& e) { return e.OnConfirmOverwrite(); },
            [](E& e, TAbConfirmOverwriteEvent v) { e.SetOnConfirmOverwrite(std::move(v)); }),
        event<TAbBrowserItemConfirmEvent>(
            u"OnConfirmProcessItem", [](E& e) { return e.OnConfirmProcessItem(); },
            [](E& e, TAbBrowserItemConfirmEvent v) { e.SetOnConfirmProcessItem(std::move(v)); }),
        event<TAbBrowserEvent>(
            u"OnLoad", [](E& e) { return e.OnLoad(); },
            [](E& e, TAbBrowserEvent v) { e.SetOnLoad(std::move(v)); }),
        event<TAbBrowserItemFailureEvent>(
            u"OnProcessItemFailure", [](E& e) { return e.OnProcessItemFailure(); },
            [](E& e, TAbBrowserItemFailureEvent v) { e.SetOnProcessItemFailure(std::move(v)); }),
        event<TAbRequestImageEvent>(
            u"OnRequestImage", [](E& e) { return e.OnRequestImage(); },
            [](E& e, TAbRequestImageEvent v) { e.SetOnRequestImage(std::move(v)); }),
        // Saved always: it has no default. It reads the open archive's value, so a component
        // saved without an open archive saves 0.
        {u"SetID", [](TComponent& c) { return std::any(self(c).SetID()); },
         [](TComponent& c, const std::any& v) { self(c).SetSetID(valueOf<uint16_t>(v)); },
         [](TComponent&) { return true; }},
        {u"TempDirectory", [](TComponent& c) { return std::any(self(c).TempDirectory()); },
         [](TComponent& c, const std::any& v) {
             self(c).SetTempDirectory(valueOf<std::u16string>(v));
         },
         [](TComponent& c) { return !self(c).TempDirectory().empty(); }},
        {u"Version", [](TComponent& c) { return std::any(self(c).Version()); },
         [](TComponent& c, const std::any& v) { self(c).SetVersion(valueOf<std::u16string>(v)); },
         nullptr},
        {u"FileName", [](TComponent& c) { return std::any(self(c).FileName()); },
         [](TComponent& c, const std::any& v) { self(c).SetFileName(valueOf<std::u16string>(v)); },
         [](TComponent& c) { return !self(c).FileName().empty(); }},
    };
    list.insert(list.end(), own.begin(), own.end());
    return list;
}
