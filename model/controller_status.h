#pragma once

#include "device/hid_device.h"
#include "protocol/commands.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <vector>

// Where the program stands with the controller, as one value: the model
// emits it on every change and every view (window, tray, D-Bus properties,
// morvane-pwmctl status) reads the same fields under the same meaning.
struct ControllerStatus
{
    bool connected = false;  // a controller is open
    bool identified = false; // it answered version 1 on this connection
    bool loaded = false;     // its configuration was read (or applied) on this connection
    bool live = false;       // the last poll tick completed a status pass: the form can be edited
    // False only while connected and the controller has stopped answering
    // its status reads; the readings below are then the last ones it gave.
    bool answering = true;
    QDateTime silent_since; // when it stopped answering (UTC); invalid while answering

    unsigned light = 0;     // light reading as last reported (may exceed 1023)
    unsigned pwm_width = 0; // the width the controller reports driving
    // The brightness read-out: the manual level once a status pass has sent
    // it with command 57, otherwise pwm_width.
    int brightness_width = 0;
    RegulationMode mode = RegulationMode::automatic;        // as the controller last reported it
    RegulationMode wanted_mode = RegulationMode::automatic; // what the program carries to it
    int manual_level = 0;                                   // 0..PWM_FULL_SCALE

    bool edits_pending = false; // the window holds edits it has not applied
    // A sweep measuring the lamp's light drives the controller: regulating
    // actions are refused, and the history leaves these readings out.
    bool measuring = false;
    // Another program has the controller ("morvane-pwmctl (pid 1234)"); empty when none does.
    QString holder;
    // The device lock could not be made (why); the program then goes on uncoordinated.
    QString lock_problem;
    // Matching interfaces the last device search could not open; empty while
    // `opening`.
    std::vector<HidOpenFailure> open_failures;
    // Found, but its open failed as a new node's do for a moment (permission
    // not yet given, node not yet made): retried before it is said.
    bool opening = false;
    // Tells one controller from another for people, the history and D-Bus
    // (ControllerIdentity::id: "sn:<serial>", "usb:<port>", ...); empty
    // while the controller has no device.
    QString identity;
    QString serial; // its USB serial number; empty when it has none

    bool operator==(const ControllerStatus &other) const;
    bool operator!=(const ControllerStatus &other) const { return !(*this == other); }
};
Q_DECLARE_METATYPE(ControllerStatus)
