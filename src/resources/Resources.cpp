#include "resources/Resources.h"

#include <QtGlobal>

// At global scope: the macro declares the generated registration function, which must not land
// in a namespace.
static bool registerResources()
{
    Q_INIT_RESOURCE(zentrik);
    return true;
}

void initResources()
{
    static const bool registered = registerResources();
    Q_UNUSED(registered);
}
