#pragma once

// The two symbols gdk-pixbuf looks up in a loader module.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gmodule.h>

extern "C" {
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info);
G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module);
}
