// grabkeys: tries to take Ctrl+Alt+Down/Up/Right as global keys on the X display, the way
// another program would. Exit 0 when all three could be grabbed (then released), 1 when any
// is held by someone else, 2 when there is no display. The end-to-end journeys use it to
// show that the recorder holds the keys while it runs and frees them when it ends.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <X11/keysym.h>

#include <cstdio>
#include <initializer_list>
#include <cstdlib>

int main() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (!c || xcb_connection_has_error(c)) {
        std::fprintf(stderr, "grabkeys: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    const uint16_t modifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
    int taken = 0;
    for (xcb_keysym_t sym : {xcb_keysym_t(XK_Down), xcb_keysym_t(XK_Up), xcb_keysym_t(XK_Right)}) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, sym);
        if (!codes) continue;
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(
            c, 1, root, modifiers, codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            ++taken;
            std::free(error);
        } else {
            xcb_ungrab_key(c, codes[0], root, modifiers);
        }
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);
    xcb_disconnect(c);
    std::printf("grabkeys: %d of 3 keys held by another program\n", taken);
    return taken == 0 ? 0 : 1;
}
