#pragma once

#include <QString>

namespace velnor {

// One entry of the keyboard list shown to the user.
struct KeyboardDevice {
    QString id;
    QString name;
    bool isBuiltIn = false;
    bool isActive = true;
    int vendorID = 0;
    int productID = 0;

    static constexpr const char* BuiltInId = "built_in";

    static KeyboardDevice builtIn();
    // Id "V_P" from the decimal vendor and product ids.
    static KeyboardDevice external(int vendorID, int productID, const QString& name);
    static QString externalId(int vendorID, int productID);

    bool operator==(const KeyboardDevice&) const = default;
};

// The keyboard that produced a key input.
struct KeyboardIdentity {
    int vendorID = 0;
    int productID = 0;
    // The machine's own keyboard (on its internal bus).
    bool isInternal = false;

    bool operator==(const KeyboardIdentity&) const = default;
};

} // namespace velnor
