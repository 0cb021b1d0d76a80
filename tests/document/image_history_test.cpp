#include <gtest/gtest.h>

#include <QImage>

#include "document/image_history.h"

namespace velmora {
namespace {

// Each state carries its index in pixel (0, 0), so a test can tell which state is shown.
int Shown(const ImageHistory& history) {
    const QImage* current = history.GetCurrent();
    return current == nullptr ? -1 : qRed(current->pixel(0, 0));
}

// A fill: a new state, then the job writes into it.
void Fill(ImageHistory& history) {
    history.PushCopy();
    history.GetCurrent()->setPixel(0, 0, qRgb(history.current(), 0, 0));
}

ImageHistory Loaded(QImage::Format format = QImage::Format_RGB32) {
    ImageHistory history;
    QImage first(4, 3, format);
    first.fill(Qt::black);
    history.Reset();
    history.SetFirst(first);
    return history;
}

int UndosPossible(ImageHistory& history) {
    int count = 0;
    while (history.CanUndo()) {
        history.Undo();
        ++count;
    }
    return count;
}

TEST(ImageHistory, EmptyHistoryHasNoPictureAndNoUndoOrRedo) {
    ImageHistory history;
    EXPECT_EQ(history.GetCurrent(), nullptr);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.top(), 0);
    EXPECT_EQ(history.current(), 0);
}

TEST(ImageHistory, AfterOpeningOnlyStateZero) {
    ImageHistory history = Loaded();
    ASSERT_NE(history.GetCurrent(), nullptr);
    EXPECT_EQ(history.top(), 0);
    EXPECT_EQ(history.current(), 0);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

TEST(ImageHistory, OneFillUndoesAndRedoesWithoutSharingPixels) {
    ImageHistory history = Loaded();
    Fill(history);
    EXPECT_EQ(history.top(), 1);
    EXPECT_EQ(history.current(), 1);
    EXPECT_EQ(Shown(history), 1);
    history.Undo();
    EXPECT_EQ(Shown(history), 0) << "the copy did not write through to the state below";
    EXPECT_TRUE(history.CanRedo());
    history.Redo();
    EXPECT_EQ(Shown(history), 1);
    EXPECT_FALSE(history.CanRedo());
}

TEST(ImageHistory, CopyKeepsThePixelFormat) {
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
          QImage::Format_Grayscale8, QImage::Format_RGBA64}) {
        ImageHistory history = Loaded(format);
        history.PushCopy();
        ASSERT_NE(history.GetCurrent(), nullptr);
        EXPECT_EQ(history.GetCurrent()->format(), format);
        EXPECT_EQ(history.GetCurrent()->size(), QSize(4, 3));
    }
}

TEST(ImageHistory, AFillAfterUndoReleasesTheRedoStates) {
    ImageHistory history = Loaded();
    for (int i = 0; i < 3; ++i) Fill(history);
    history.Undo();
    history.Undo();
    Fill(history);
    EXPECT_EQ(history.top(), 2);
    EXPECT_EQ(history.current(), 2);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_FALSE(history.SlotInUse(3)) << "the old state 3 is gone";
    history.Undo();
    EXPECT_EQ(Shown(history), 1);
    history.Undo();
    EXPECT_EQ(Shown(history), 0);
    EXPECT_FALSE(history.CanUndo());
}

TEST(ImageHistory, NineFillsKeepTheNewestEightStates) {
    ImageHistory history = Loaded();
    for (int i = 0; i < 9; ++i) Fill(history);
    EXPECT_EQ(history.top(), 9);
    for (int index = 0; index <= 9; ++index) EXPECT_EQ(history.IsHeld(index), index >= 2) << index;
    EXPECT_EQ(Shown(history), 9);
    EXPECT_EQ(history.current() & 7, 1) << "state 9 lives in slot 1, where state 1 was";
    EXPECT_EQ(UndosPossible(history), 7);
    EXPECT_EQ(Shown(history), 2);
}

TEST(ImageHistory, AFillAfterManyUndosReleasesEverythingAboveIt) {
    ImageHistory history = Loaded();
    for (int i = 0; i < 10; ++i) Fill(history);
    for (int i = 0; i < 7; ++i) history.Undo();
    ASSERT_EQ(history.current(), 3);
    Fill(history);
    EXPECT_EQ(history.current(), 4);
    EXPECT_EQ(history.top(), 4);
    EXPECT_EQ(UndosPossible(history), 1);
    EXPECT_EQ(Shown(history), 3);
    for (const int slot : {0, 1, 2, 5, 6, 7}) EXPECT_FALSE(history.SlotInUse(slot)) << slot;
    EXPECT_TRUE(history.SlotInUse(3));
    EXPECT_TRUE(history.SlotInUse(4));
}

TEST(ImageHistory, ResetReleasesEveryState) {
    ImageHistory history = Loaded();
    for (int i = 0; i < 5; ++i) Fill(history);
    history.Reset();
    EXPECT_EQ(history.GetCurrent(), nullptr);
    EXPECT_EQ(history.top(), 0);
    EXPECT_EQ(history.current(), 0);
    for (int slot = 0; slot < 8; ++slot) EXPECT_FALSE(history.SlotInUse(slot));
    QImage next(2, 2, QImage::Format_RGB32);
    next.fill(Qt::white);
    history.SetFirst(next);
    EXPECT_EQ(history.GetCurrent()->size(), QSize(2, 2));
    EXPECT_FALSE(history.CanUndo());
}

TEST(ImageHistory, CopyOfNothingLeavesAnEmptyCurrentState) {
    ImageHistory history;
    history.PushCopy();
    EXPECT_EQ(history.current(), 1);
    EXPECT_EQ(history.GetCurrent(), nullptr);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

TEST(ImageHistory, UndoAndRedoRefuseToLeaveTheHeldStates) {
    ImageHistory history = Loaded();
    history.Undo();
    EXPECT_EQ(history.current(), 0);
    history.Redo();
    EXPECT_EQ(history.current(), 0);
}

// A fill that failed takes its state back: whatever the push released returns.
TEST(ImageHistory, RevertedPushRestoresRedoStatesAndTheOldest) {
    ImageHistory full = Loaded();
    for (int i = 0; i < 9; ++i) Fill(full);  // eight held: 2 to 9
    full.PushCopy();                         // releases state 2
    full.GetCurrent()->setPixel(0, 0, qRgb(99, 0, 0));
    full.RevertPush();
    EXPECT_EQ(full.top(), 9);
    EXPECT_EQ(full.current(), 9);
    EXPECT_EQ(Shown(full), 9);
    EXPECT_EQ(UndosPossible(full), 7);
    EXPECT_EQ(Shown(full), 2);

    ImageHistory withRedo = Loaded();
    for (int i = 0; i < 4; ++i) Fill(withRedo);
    withRedo.Undo();
    withRedo.Undo();  // at 2, redo reaches 3 and 4
    withRedo.PushCopy();
    EXPECT_FALSE(withRedo.CanRedo());
    withRedo.RevertPush();
    EXPECT_EQ(withRedo.current(), 2);
    EXPECT_EQ(withRedo.top(), 4);
    withRedo.Redo();
    withRedo.Redo();
    EXPECT_EQ(Shown(withRedo), 4);
    EXPECT_FALSE(withRedo.CanRedo());
}

TEST(ImageHistory, KeptPushCannotBeRevertedAnyMore) {
    ImageHistory history = Loaded();
    Fill(history);
    Fill(history);
    history.KeepPush();
    history.RevertPush();
    EXPECT_EQ(history.current(), 2);
    EXPECT_EQ(Shown(history), 2);
}

}  // namespace
}  // namespace velmora
