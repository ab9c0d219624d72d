#include "archive/components/ab_component.h"

#include <algorithm>

namespace {

void erase(std::vector<TComponent*>& list, TComponent* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

bool contains(const std::vector<TComponent*>& list, TComponent* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    // Whoever refers to this component drops the reference now.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        erase(other->FFreeNotifies, this);
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetDesigning(bool value) {
    FDesigning = value;
    for (TComponent* child : FComponents) child->SetDesigning(value);
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (!contains(FFreeNotifies, AComponent)) FFreeNotifies.push_back(AComponent);
    if (!contains(AComponent->FFreeNotifies, this)) AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    erase(FFreeNotifies, AComponent);
    erase(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == TOperation::opRemove && AComponent) erase(FFreeNotifies, AComponent);
    // A copy: a notified component may free others.
    std::vector<TComponent*> owned = FComponents;
    for (TComponent* child : owned) {
        if (contains(FComponents, child)) child->Notification(AComponent, Operation);
    }
}

std::vector<TPublishedProperty> TComponent::PublishedProperties() {
    return {TPublishedProperty{
        u"Name", [](TComponent& c) { return std::any(c.Name()); },
        [](TComponent& c, const std::any& v) { c.SetName(std::any_cast<std::u16string>(v)); },
        [](TComponent& c) { return !c.Name().empty(); }}};
}

void TComponent::InsertComponent(TComponent* child) {
    FComponents.push_back(child);
    child->FOwner = this;
    child->FDesigning = FDesigning;
    Notification(child, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* child) {
    erase(FComponents, child);
    child->FOwner = nullptr;
    Notification(child, TOperation::opRemove);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        FComponents.pop_back();
        child->FOwner = nullptr;
        Notification(child, TOperation::opRemove);
        delete child;
    }
}

TStoredProperties SaveComponent(TComponent& component) {
    TStoredProperties values;
    for (const TPublishedProperty& p : component.PublishedProperties()) {
        if (p.Stored && p.Stored(component)) values.emplace_back(p.Name, p.Read(component));
    }
    return values;
}

void RestoreComponent(TComponent& component, const TStoredProperties& values) {
    struct LoadingFlag {
        TComponent& c;
        ~LoadingFlag() { c.FLoading = false; }
    } flag{component};
    component.FLoading = true;
    for (const TPublishedProperty& p : component.PublishedProperties()) {
        if (!p.Write) continue;
        auto found = std::find_if(values.begin(), values.end(),
                                  [&](const auto& v) { return v.first == p.Name; });
        if (found != values.end()) p.Write(component, found->second);
    }
    component.FLoading = false;
    component.Loaded();
}
