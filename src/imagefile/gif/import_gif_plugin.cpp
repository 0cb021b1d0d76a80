// Compiled into every program that uses the picture-file layer: registers the statically linked
// GIF writer with Qt's image plugins before main runs.
#include <QtPlugin>

Q_IMPORT_PLUGIN(GifWriterPlugin)
