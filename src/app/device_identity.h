#pragma once

#include <string>

// The identity this PC sends to receivers. Returns the first line of the
// "device_id" file in the Tovik folder (up to 127 bytes, a line end that is read
// stays in it) when that line is not empty; otherwise makes a new
// "tovik-" + 16 hex digits identity and stores it. Without a storage base it
// returns "unknown-device" and touches nothing. Never fails.
std::string load_or_create_device_id();

// A new random identity: "tovik-" followed by 16 lowercase hex digits.
std::string make_device_id();
