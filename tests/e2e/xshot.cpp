// xshot — takes a screenshot of the whole X screen for the window tests,
// saves it as PNG, and prints the colour of the points given on the command
// line as #RRGGBB, one per line.
//
//   xshot OUT.png [X,Y ...]
#include <gdk/gdk.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: xshot OUT.png [X,Y ...]\n");
        return 2;
    }
    if (!gdk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "xshot: cannot open the display\n");
        return 1;
    }
    GdkWindow* root = gdk_get_default_root_window();
    const int w = gdk_window_get_width(root);
    const int h = gdk_window_get_height(root);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, w, h);
    if (shot == nullptr) {
        std::fprintf(stderr, "xshot: cannot read the screen\n");
        return 1;
    }
    GError* error = nullptr;
    if (!gdk_pixbuf_save(shot, argv[1], "png", &error, nullptr)) {
        std::fprintf(stderr, "xshot: %s\n", error != nullptr ? error->message : "save failed");
        return 1;
    }
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* px = gdk_pixbuf_get_pixels(shot);
    for (int i = 2; i < argc; ++i) {
        int x = 0, y = 0;
        if (std::sscanf(argv[i], "%d,%d", &x, &y) != 2 || x < 0 || y < 0 || x >= w || y >= h) {
            std::printf("outside\n");
            continue;
        }
        const guchar* p = px + y * stride + x * channels;
        std::printf("#%02X%02X%02X\n", p[0], p[1], p[2]);
    }
    g_object_unref(shot);
    return 0;
}
