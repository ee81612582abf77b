// Presses or releases keys through XTest, as the tests' own key driver does,
// for scripts (scripts/run.sh's desktop demo holds the hotkey with it).
//
//   velnor-xtest-keys press|release KEYCODE [press|release KEYCODE ...]
//
// KEYCODE is an X keycode (105 right Control, 50 left Shift).
#include "keyboard/XTestKeys.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    velnor::test::XTestKeys keys;
    if (!keys.isConnected()) {
        std::fprintf(stderr, "velnor-xtest-keys: cannot connect to the X display\n");
        return 1;
    }
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: velnor-xtest-keys press|release KEYCODE [press|release KEYCODE ...]\n");
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const int keycode = std::atoi(argv[i + 1]);
        if (keycode < 8 || keycode > 255) {
            std::fprintf(stderr, "velnor-xtest-keys: not an X keycode: %s\n", argv[i + 1]);
            return 2;
        }
        if (std::strcmp(argv[i], "press") == 0)
            keys.press(static_cast<std::uint8_t>(keycode));
        else if (std::strcmp(argv[i], "release") == 0)
            keys.release(static_cast<std::uint8_t>(keycode));
        else {
            std::fprintf(stderr, "velnor-xtest-keys: press or release, not %s\n", argv[i]);
            return 2;
        }
    }
    // The requests must reach the server before the connection closes.
    std::free(xcb_get_input_focus_reply(keys.connection(), xcb_get_input_focus(keys.connection()), nullptr));
    return 0;
}
