// Every window, widget and menu action carries the component name it has on
// the panel, so that tests and accessibility tools can find it.
#pragma once

template <typename W> W* Named(W* object, const char* name) {
    object->setObjectName(name);
    return object;
}
