#include "platform/linux/wayland/KeysymKeymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <gtest/gtest.h>

#include <memory>

namespace velnor::wayland {
namespace {

// The layout a virtual keyboard uploads: the compositor compiles it as
// xkbcommon does here, and every key types its keysym on the first level.
TEST(KeysymKeymapTest, EachKeysymHasAKeyAndModifierKeysSetTheirModifier)
{
    const KeysymKeymap map({XKB_KEY_v, XKB_KEY_Return, XKB_KEY_Shift_L, XKB_KEY_Control_L, XKB_KEY_Insert,
                            XKB_KEY_v, XKB_KEY_NoSymbol});
    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                             &xkb_context_unref);
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_string(context.get(), map.text().constData(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS),
        &xkb_keymap_unref);
    ASSERT_TRUE(keymap) << map.text().toStdString();

    struct Case {
        xkb_keysym_t keysym;
        const char* modifier; // the modifier its key holds, if any
    };
    const Case cases[] = {{XKB_KEY_v, nullptr},
                          {XKB_KEY_Return, nullptr},
                          {XKB_KEY_Insert, nullptr},
                          {XKB_KEY_Shift_L, XKB_MOD_NAME_SHIFT},
                          {XKB_KEY_Control_L, XKB_MOD_NAME_CTRL}};
    QList<xkb_keycode_t> seen;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keysym);
        const auto keycode = map.keycodeFor(c.keysym);
        ASSERT_TRUE(keycode);
        EXPECT_FALSE(seen.contains(*keycode)) << "one key per keysym";
        seen.append(*keycode);
        // The protocol takes Linux input codes: XKB codes minus 8, from 1.
        EXPECT_GE(*keycode - KeysymKeymap::kEvdevOffset, 1u);

        const xkb_keysym_t* syms = nullptr;
        ASSERT_EQ(xkb_keymap_key_get_syms_by_level(keymap.get(), *keycode, 0, 0, &syms), 1);
        EXPECT_EQ(syms[0], c.keysym);

        const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap.get()),
                                                                          &xkb_state_unref);
        xkb_state_update_key(state.get(), *keycode, XKB_KEY_DOWN);
        for (const char* modifier : {XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_CTRL})
            EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), modifier, XKB_STATE_MODS_DEPRESSED) == 1,
                      c.modifier == modifier)
                << modifier;
    }
    EXPECT_FALSE(map.keycodeFor(XKB_KEY_a));
}

} // namespace
} // namespace velnor::wayland
