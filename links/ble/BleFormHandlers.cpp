// The main form's handlers of the Bluetooth LE controls: the link does the
// work; a form without its link (before FormCreate) ignores them.
#include "form/Form1.h"
#include "links/ble/BleLink.h"

void TBleLinkDelete::operator()(TBleLink* link) const noexcept {
    delete link;
}

void TForm1::SCANClick(TObject* Sender) {
    if (FBleLink) FBleLink->SCANClick(Sender);
}

void TForm1::CONNECTClick(TObject* Sender) {
    if (FBleLink) FBleLink->CONNECTClick(Sender);
}

void TForm1::BluetoothLE1DiscoverLEDevice(TObject* Sender, TBluetoothLEDevice* ADevice, int Rssi,
                                          const TBytes& ScanResponse) {
    if (FBleLink) FBleLink->BluetoothLE1DiscoverLEDevice(Sender, ADevice, Rssi, ScanResponse);
}

void TForm1::BluetoothLE1EndDiscoverDevices(TObject* Sender,
                                            const std::vector<TBluetoothLEDevice*>& devices) {
    if (FBleLink) FBleLink->BluetoothLE1EndDiscoverDevices(Sender, devices);
}

void TForm1::BluetoothLE1ServicesDiscovered(TObject* Sender, TBluetoothGattServiceList* services) {
    if (FBleLink) FBleLink->BluetoothLE1ServicesDiscovered(Sender, services);
}

void TForm1::BluetoothLE1CharacteristicRead(TObject* Sender,
                                            TBluetoothGattCharacteristic* ACharacteristic,
                                            TBluetoothGattStatus AGattStatus) {
    if (FBleLink) FBleLink->BluetoothLE1CharacteristicRead(Sender, ACharacteristic, AGattStatus);
}

void TForm1::BluetoothLE1DisconnectDevice(TObject* Sender, TBluetoothLEDevice* ADevice) {
    if (FBleLink) FBleLink->BluetoothLE1DisconnectDevice(Sender, ADevice);
}
