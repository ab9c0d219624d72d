#include "archive/components/ab_component.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// A component that records what happens to it.
class Recorder : public TComponent {
public:
    Recorder(TComponent* owner, std::vector<std::string>& log, std::string tag)
        : TComponent(owner), FLog(log), FTag(std::move(tag)) {}
    ~Recorder() override { FLog.push_back(FTag + " destroyed"); }

    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == FWatched) {
            // The watched component is being destroyed: only its address is still good.
            FLog.push_back(FTag + " lost " + FWatchedTag);
            FWatched = nullptr;
        }
    }
    void Watch(Recorder* other) {
        FWatched = other;
        FWatchedTag = other->FTag;
        other->FreeNotification(this);
    }

    // Two properties of its own, published after the base's Name: First, then Second.
    std::vector<TPublishedProperty> PublishedProperties() override {
        auto list = TComponent::PublishedProperties();
        for (const char* name : {"First", "Second"}) {
            std::string n = name;
            list.push_back(TPublishedProperty{
                std::u16string(n.begin(), n.end()),
                [n](TComponent& c) { return std::any(static_cast<Recorder&>(c).FValues[n]); },
                [n](TComponent& c, const std::any& v) {
                    auto& r = static_cast<Recorder&>(c);
                    r.FLog.push_back("write " + n + (r.IsLoading() ? " while loading" : ""));
                    r.FValues[n] = std::any_cast<int>(v);
                },
                [n](TComponent& c) { return static_cast<Recorder&>(c).FValues[n] != 0; }});
        }
        return list;
    }

    std::map<std::string, int> FValues;

protected:
    void Loaded() override { FLog.push_back(FTag + " loaded"); }

private:
    std::vector<std::string>& FLog;
    std::string FTag;
    Recorder* FWatched = nullptr;
    std::string FWatchedTag;
};

TEST(ComponentTest, OwnerDestroysWhatItOwns) {
    std::vector<std::string> log;
    auto* window = new Recorder(nullptr, log, "window");
    new Recorder(window, log, "a");
    auto* b = new Recorder(window, log, "b");
    EXPECT_EQ(window->ComponentCount(), 2);
    delete b;  // a component freed on its own leaves its owner's list
    EXPECT_EQ(window->ComponentCount(), 1);
    delete window;
    EXPECT_EQ(log, (std::vector<std::string>{"b destroyed", "window destroyed", "a destroyed"}));
}

TEST(ComponentTest, FreeNotificationTellsTheWatcherWhenTheWatchedGoes) {
    std::vector<std::string> log;
    Recorder watcher(nullptr, log, "browser");
    auto* meter = new Recorder(nullptr, log, "meter");
    watcher.Watch(meter);
    delete meter;
    EXPECT_EQ(log, (std::vector<std::string>{"meter destroyed", "browser lost meter"}));
}

TEST(ComponentTest, RemovedFreeNotificationIsSilent) {
    std::vector<std::string> log;
    Recorder watcher(nullptr, log, "browser");
    auto* meter = new Recorder(nullptr, log, "meter");
    watcher.Watch(meter);
    meter->RemoveFreeNotification(&watcher);
    delete meter;
    EXPECT_EQ(log, (std::vector<std::string>{"meter destroyed"}));
}

TEST(ComponentTest, RestoresInPublishedOrderThenCallsLoaded) {
    std::vector<std::string> log;
    Recorder source(nullptr, log, "source");
    source.SetName(u"AbCabExtractor1");
    source.FValues["Second"] = 2;
    source.FValues["First"] = 1;
    TStoredProperties saved = SaveComponent(source);
    ASSERT_EQ(saved.size(), 3u);
    // Listed back to front: the restore still follows the published order.
    std::reverse(saved.begin(), saved.end());

    Recorder copy(nullptr, log, "copy");
    log.clear();
    RestoreComponent(copy, saved);
    EXPECT_EQ(log, (std::vector<std::string>{"write First while loading",
                                             "write Second while loading", "copy loaded"}));
    EXPECT_EQ(copy.Name(), u"AbCabExtractor1");
    EXPECT_EQ(copy.FValues["Second"], 2);
    EXPECT_FALSE(copy.IsLoading());
}

TEST(ComponentTest, UnsetValuesAreNotSaved) {
    std::vector<std::string> log;
    Recorder blank(nullptr, log, "blank");
    EXPECT_TRUE(SaveComponent(blank).empty());
}

TEST(ComponentTest, OwnedComponentsShareTheDesignState) {
    std::vector<std::string> log;
    Recorder form(nullptr, log, "form");
    form.SetDesigning(true);
    auto* child = new Recorder(&form, log, "child");
    EXPECT_TRUE(child->IsDesigning());
    form.SetDesigning(false);
    EXPECT_FALSE(child->IsDesigning());
}

}  // namespace
