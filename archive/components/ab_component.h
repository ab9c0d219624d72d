// A small non-visual component framework: an owner that destroys the components it owns, a
// name, a design-time flag, published properties that are saved and restored in their
// published order followed by a Loaded notification, and free notification (a Notification
// call when a component that this one refers to is being destroyed).
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

enum class TOperation : uint8_t { opInsert, opRemove };

class TComponent;

// One published property: how to read it, write it, and whether its value is saved.
struct TPublishedProperty {
    std::u16string Name;
    std::function<std::any(TComponent&)> Read;
    std::function<void(TComponent&, const std::any&)> Write;  // empty for read-only
    std::function<bool(TComponent&)> Stored;                  // empty: never saved
};

// Saved property values, by property name.
using TStoredProperties = std::vector<std::pair<std::u16string, std::any>>;

class TComponent {
public:
    // Components with an owner are made with new: the owner destroys them.
    explicit TComponent(TComponent* AOwner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int32_t ComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
    TComponent* Components(int32_t index) const {
        return FComponents.at(static_cast<std::size_t>(index));
    }

    const std::u16string& Name() const { return FName; }
    void SetName(const std::u16string& value) { FName = value; }

    // The component is being designed (placed on a window in a designer), not run.
    bool IsDesigning() const { return FDesigning; }
    void SetDesigning(bool value);
    // Stored properties are being restored.
    bool IsLoading() const { return FLoading; }
    bool IsDestroying() const { return FDestroying; }

    // AComponent gets a Notification(this, opRemove) when this component is destroyed, and
    // this one when AComponent is.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Called when a component that this one knows of is inserted or removed. The base drops
    // a removed component from the free-notification links and tells the owned components.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

    // The published properties in published order; a descendant appends its own to its
    // parent's list.
    virtual std::vector<TPublishedProperty> PublishedProperties();

protected:
    // Called once after stored properties have been restored.
    virtual void Loaded() {}

private:
    friend TStoredProperties SaveComponent(TComponent& component);
    friend void RestoreComponent(TComponent& component, const TStoredProperties& values);

    void InsertComponent(TComponent* child);
    void RemoveComponent(TComponent* child);
    void DestroyComponents();

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::u16string FName;
    bool FDesigning = false;
    bool FLoading = false;
    bool FDestroying = false;
};

// The values of the properties that are stored, in published order.
TStoredProperties SaveComponent(TComponent& component);
// Writes the saved values in published order (not in the order they are listed), then
// calls Loaded.
void RestoreComponent(TComponent& component, const TStoredProperties& values);
