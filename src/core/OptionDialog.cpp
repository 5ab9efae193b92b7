#include "OptionDialog.h"

namespace kiv {

const OptionRow* OptionRowOf(int id)
{
    for (const OptionRow& row : kOptionRows)
        if (row.Name && row.Id == id)
            return &row;
    return nullptr;
}

}  // namespace kiv
