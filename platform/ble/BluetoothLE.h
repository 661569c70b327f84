#pragma once

#include "platform/ui/Controls.h"

class TBluetoothManager;

// The Bluetooth LE component of the form. No adapter backend is wired in
// yet: GetCurrentManager() answers null, as on a machine without an
// adapter.
class TBluetoothLE : public TComponent {
public:
    explicit TBluetoothLE(TComponent* owner) : TComponent(owner) {}
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled) { FEnabled = enabled; }
    TBluetoothManager* GetCurrentManager() const { return nullptr; }

private:
    bool FEnabled = false;
};
