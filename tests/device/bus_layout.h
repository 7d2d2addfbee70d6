#pragma once

#include "protocol/commands.h"
#include "tools/sim/sim_backend.h"

#include <QList>
#include <QMetaType>

// A simulated bus described as data: the HID interfaces in enumeration order.
//   Bus().decoys(63).controller()       the controller as the 64th interface
//   Bus().controller().denied().controller()
struct Bus
{
    struct Entry
    {
        int decoys = 0;  // > 0: this many decoy interfaces, ids below unused
        unsigned short vendor = 0;
        unsigned short product = 0;
        bool denied = false;
    };
    QList<Entry> entries;

    Bus &decoys(int count)
    {
        entries.append({count, 0, 0, false});
        return *this;
    }
    Bus &interface(unsigned short vendor, unsigned short product)
    {
        entries.append({0, vendor, product, false});
        return *this;
    }
    Bus &controller() { return interface(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID); }
    // The interface added last cannot be opened (no permission).
    Bus &denied()
    {
        entries.last().denied = true;
        return *this;
    }

    void install(SimBackend &backend) const
    {
        for (const Entry &entry : entries) {
            if (entry.decoys > 0) {
                backend.add_decoys(entry.decoys);
                continue;
            }
            const int device = backend.add_interface(entry.vendor, entry.product);
            if (entry.denied)
                backend.deny_open(device);
        }
    }
};
Q_DECLARE_METATYPE(Bus)

// The four ids HidDevice::set_ids takes; the controller's pair with no
// alternative by default.
struct Ids
{
    int vendor = CONTROLLER_VENDOR_ID;
    int product = CONTROLLER_PRODUCT_ID;
    int alt_vendor = 0;
    int alt_product = 0;
};
Q_DECLARE_METATYPE(Ids)
