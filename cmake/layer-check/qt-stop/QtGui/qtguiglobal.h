// Every Qt Gui header includes this one first. The core libraries find this
// file ahead of Qt's, so a core file that reaches for Qt Gui stops here.
#error "core layer: a core library must not use Qt Gui or Qt Widgets"
