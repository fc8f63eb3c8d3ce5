#pragma once

#include "model/DSColumn.h"

// A column of one UTF-8 text a row, none for a blank row.
class DSTextColumn : public DSColumn
{
};
