#pragma once

// The mark a sortable column title shows: down for ascending, up for descending.
enum class SortMark { None, Down, Up };
