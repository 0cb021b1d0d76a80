#include "app/res/accelerators.h"

#include "platform/command_ids.h"

namespace velmora {

const std::vector<Accelerator>& MainAccelerators() {
    static const std::vector<Accelerator> table = {
        {Qt::SHIFT | Qt::Key_F1, ID_CONTEXT_HELP},
        {QKeyCombination(Qt::Key_Delete), ID_EDIT_CLEAR},
        {Qt::CTRL | Qt::Key_C, ID_EDIT_COPY},
        {Qt::CTRL | Qt::Key_Insert, ID_EDIT_COPY},
        {Qt::SHIFT | Qt::Key_Delete, ID_EDIT_CUT},
        {Qt::CTRL | Qt::Key_X, ID_EDIT_CUT},
        {Qt::CTRL | Qt::Key_V, ID_EDIT_PASTE},
        {Qt::SHIFT | Qt::Key_Insert, ID_EDIT_PASTE},
        {Qt::ALT | Qt::Key_Backspace, ID_EDIT_UNDO},
        {Qt::CTRL | Qt::Key_Z, ID_EDIT_UNDO},
        {Qt::CTRL | Qt::Key_N, ID_FILE_NEW},
        {Qt::CTRL | Qt::Key_O, ID_FILE_OPEN},
        {Qt::CTRL | Qt::Key_P, ID_FILE_PRINT},
        {Qt::CTRL | Qt::Key_S, ID_FILE_SAVE},
        {QKeyCombination(Qt::Key_F1), ID_HELP},
        {QKeyCombination(Qt::Key_F6), ID_NEXT_PANE},
        {Qt::SHIFT | Qt::Key_F6, ID_PREV_PANE},
        {Qt::CTRL | Qt::Key_Y, ID_EDIT_REDO},
    };
    return table;
}

}  // namespace velmora
