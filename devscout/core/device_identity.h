#pragma once
// Reads a device node's identity (notice_name.h) from udev.

#include <libudev.h>

#include "notice_name.h"

namespace zan::devscout {

// A hidraw node takes the ids of its hid parent (HID_ID), any other node
// those of its USB device (idVendor/idProduct, or the ID_VENDOR_ID and
// ID_MODEL_ID properties once that device is gone); without them the
// identity holds the subsystem and sysname only.
DeviceIdentity IdentityOfDevice(udev_device* device);

}  // namespace zan::devscout
