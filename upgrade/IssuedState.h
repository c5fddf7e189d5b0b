#pragma once

#include "common/Result.h"

#include <string>
#include <string_view>

// The issue serial of signed update descriptors ("[upgrade]" "issued"), and the last one accepted
// for each component. Versions are free text compared only for equality, so they cannot tell an
// old descriptor from a new one; the serial can. A serial is a decimal integer (a UTC time written
// as YYYYMMDDHHMMSS is one), compared by value.
//
// The last accepted serial of each component is kept in ConfigPath + "UpgradeIssued.ini", section
// "issued", one key per component: the component a signed descriptor names (the path of its update
// source on the server, "/desk/"), "%", "=" and line breaks written as %25, %3D, %0D, %0A. The
// publisher's tool writes the serial an installation is made with there, so that a fresh
// installation already refuses older descriptors. Files from before descriptors named their
// component keep the normalised path of the component's "Upgrade.txt" as the key; those floors
// still count.
namespace qm {

// True when text (blanks around allowed) is a serial: 1 to 40 decimal digits.
bool IsIssueSerial(std::string_view text);

// Below 0, 0 or above 0 as serial a is older than, the same as or newer than b (both serials).
int CompareIssued(std::string_view a, std::string_view b);

// The file that keeps the last accepted serials.
std::string IssuedStateFile();

// The last serial accepted (or shipped) for component; "" when none.
std::string LastIssued(const std::string& component);

// The key under which files from before component names kept the floor of the component whose
// "Upgrade.txt" is upFile.
std::string LegacyComponent(const std::string& upFile);

// Accepts serial issued for component unless it is older than its floor, the newer of the last one
// accepted for component and (when upFile is given) the one kept under LegacyComponent(upFile); the
// same serial again is accepted. It then becomes the component's floor. A failure with the reason when it is
// refused. Checking and keeping happen under one lock. A serial that cannot be kept (the file
// cannot be written) is still accepted, with the problem traced and logged: refusing a genuine
// update because of the state file would help nobody.
TResult<> AcceptIssued(const std::string& component, const std::string& issued,
                       const std::string& upFile = "");

} // namespace qm
