#include "KerrionResources.h"

#include <QtCore/QtGlobal>

void KerrionInitResources()
{
    // Naming the resource's initialiser makes the linker keep it in a static library.
    Q_INIT_RESOURCE(kerrion);
}
