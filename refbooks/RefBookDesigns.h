#pragma once

#include "refbooks/RefBookWindow.h"

// What tells the three reference books apart: table, key, columns and the texts a user reads.
namespace RefBookDesigns {

const RefBookWindow::Design &people();
const RefBookWindow::Design &mediaTypes();
const RefBookWindow::Design &mediaGroups();

} // namespace RefBookDesigns
