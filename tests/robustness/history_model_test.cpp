// A thousand random sequences of fills, stops, undo, redo, zoom, tool, New, Save and close on a
// tiny picture, each step checked against a plain model of what the document should hold: which
// commands are enabled, the history's indices and slots, and every held picture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

constexpr int kSequences = 1000;
// Every third sequence first fills past the eight states the history holds, then mostly undoes
// and redoes, so that undo meets the oldest held state and fills after undo release the rest.
constexpr int kStepsPerSequence = 14;
constexpr int kDeepSequenceEvery = 3;
constexpr int kDeepFills = 10;
constexpr int kDeepSteps = 26;
constexpr int kWidth = 24;
constexpr int kHeight = 16;
// A sequence that takes longer than this has deadlocked (the whole run takes seconds).
constexpr int kDeadlockMilliseconds = 60000;

// The zoom factors the commands step through.
constexpr std::array<float, 10> kZoomLadder{0.125f, 0.25f, 0.5f, 0.75f, 1.0f,
                                            1.5f,   2.0f,  4.0f, 8.0f,  16.0f};
constexpr int kZoomOne = 4;

// What the document should hold, built from the rules alone.
struct DocumentModel {
    std::int32_t top = 0;
    std::int32_t current = 0;
    std::map<std::int32_t, QImage> held;  // index -> picture
    int zoom = kZoomOne;                  // index into kZoomLadder
    ToolMode tool = TOOL_POLYGON;
    bool outline = false;  // two points or more
    bool modified = false;

    [[nodiscard]] bool CanUndo() const {
        return current > 0 && current - 1 >= top - 7 && held.count(current - 1) != 0;
    }
    [[nodiscard]] bool CanRedo() const { return current != top; }
    [[nodiscard]] const QImage& Current() const { return held.at(current); }

    // A fill starts: a copy of the current picture becomes the state above it.
    void Push(const QImage& picture) {
        const std::int32_t next = current + 1;
        for (auto it = held.begin(); it != held.end();)
            it = (it->first >= next || it->first <= next - 8) ? held.erase(it) : std::next(it);
        held[next] = picture;
        top = current = next;
    }

    [[nodiscard]] std::map<int, bool> EnabledWhenIdle() const {
        return {{ID_EDIT_UNDO, CanUndo()},
                {ID_EDIT_REDO, CanRedo()},
                {ID_VIEW_ZOOM_IN, zoom < static_cast<int>(kZoomLadder.size()) - 1},
                {ID_VIEW_ZOOM_OUT, zoom > 0},
                {ID_VIEW_ZOOM_NORMAL, zoom != kZoomOne},
                {ID_FILL_START, outline},
                {ID_FILL_STOP, false},
                {ID_TOOL_RECTANGLE, true},
                {ID_TOOL_POLYGON, true},
                {ID_TOOL_SELECT, true},
                {ID_TOOL_MOVE, true},
                {ID_FILE_OPEN, true},
                {ID_FILE_SAVE, true},
                {ID_FILE_SAVE_AS, true}};
    }
};

// Pixels outside `hole` equal in both pictures.
bool SameOutside(const QImage& a, const QImage& b, const FillRect& hole) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool inside =
                x >= hole.x && x < hole.x + hole.width && y >= hole.y && y < hole.y + hole.height;
            if (!inside && a.pixel(x, y) != b.pixel(x, y)) return false;
        }
    return true;
}

class ModelRun {
  public:
    explicit ModelRun(unsigned seed) : random_(seed) {
        rig_.OpenPicture(kWidth, kHeight);
        model_.held[0] = rig_.CurrentCopy();
        path_ = rig_.doc->PathName();
    }

    // Runs the sequence; the first difference from the model ends it with a failure.
    void Run(bool deep) {
        const int steps = deep ? kDeepSteps : kStepsPerSequence;
        for (int step = 0; step < steps && !::testing::Test::HasFailure(); ++step) {
            if (deadline_.hasExpired()) {
                ADD_FAILURE() << "deadlock: the sequence did not end\n" << log_.str();
                return;
            }
            const int kind = NextKind(deep, step);
            if (!IdleStep(kind)) return;  // the document was closed
            Check();
        }
    }

  private:
    int Pick(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }

    // The kind of step (see IdleStep). Deep sequences fill first, then undo and redo four times
    // as often as they do anything else.
    int NextKind(bool deep, int step) {
        if (!deep) return Pick(0, 11);
        if (step < kDeepFills) return 11;
        constexpr std::array kDeepKinds{0, 0, 0, 1, 1, 2, 2, 2, 3, 4, 11};
        return kDeepKinds[static_cast<std::size_t>(Pick(0, kDeepKinds.size() - 1))];
    }

    // Executes a command, which must be enabled exactly when the model says so.
    void Command(int id, bool expectedEnabled) {
        log_ << " cmd" << id;
        ASSERT_EQ(rig_.router.Execute(id), expectedEnabled) << "command " << id << '\n'
                                                            << log_.str();
    }

    // One step while no job runs: 0-1 undo, 2 redo, 3 zoom, 4 tool, 5-6 a new outline, 7-11 a
    // fill. False when the document was closed.
    bool IdleStep(int kind) {
        switch (kind) {
            case 0:
            case 1:
                Command(ID_EDIT_UNDO, model_.CanUndo());
                if (model_.CanUndo()) --model_.current;
                break;
            case 2:
                Command(ID_EDIT_REDO, model_.CanRedo());
                if (model_.CanRedo()) ++model_.current;
                break;
            case 3: {
                const int which = Pick(0, 2);
                const int id = which == 0   ? ID_VIEW_ZOOM_IN
                               : which == 1 ? ID_VIEW_ZOOM_OUT
                                            : ID_VIEW_ZOOM_NORMAL;
                const bool enabled = model_.EnabledWhenIdle().at(id);
                Command(id, enabled);
                if (enabled)
                    model_.zoom = which == 0   ? model_.zoom + 1
                                  : which == 1 ? model_.zoom - 1
                                               : kZoomOne;
                break;
            }
            case 4: {
                constexpr std::array<std::pair<int, ToolMode>, 4> tools{
                    {{ID_TOOL_RECTANGLE, TOOL_RECTANGLE},
                     {ID_TOOL_POLYGON, TOOL_POLYGON},
                     {ID_TOOL_SELECT, TOOL_SELECT},
                     {ID_TOOL_MOVE, TOOL_MOVE}}};
                const auto [id, mode] = tools[static_cast<std::size_t>(Pick(0, 3))];
                Command(id, true);
                model_.tool = mode;
                if (mode == TOOL_RECTANGLE || mode == TOOL_POLYGON) model_.outline = false;
                break;
            }
            case 5:
            case 6:
                MarkRandomHole();
                break;
            default:
                if (!model_.outline) MarkRandomHole();
                return Fill();
        }
        return true;
    }

    void MarkRandomHole() {
        const int width = Pick(1, 6);
        const int height = Pick(1, 5);
        hole_ = {Pick(0, kWidth - width), Pick(0, kHeight - height), width, height};
        log_ << " hole" << hole_.x << ',' << hole_.y << ',' << width << 'x' << height;
        rig_.MarkHole(hole_);
        model_.outline = true;
    }

    // A fill: run to its end, stopped at once, or held at a report while the interface does
    // things, then ended by Stop, New, Save or closing the document. False after a close.
    bool Fill() {
        const QImage parent = model_.Current();
        const int marked = hole_.width * hole_.height;
        const int reports = ExpectedReports(marked);
        const int mode = Pick(0, 3);  // 0: whole, 1: stopped at once, 2-3: held
        const int heldAt = mode >= 2 ? Pick(1, reports) : 0;
        // The result the engine makes when stopped after that report (computed while the masks
        // are still the document's: the job borrows them).
        const std::optional<QImage> expected =
            mode == 1 ? std::nullopt
                      : std::optional(ReferenceFill(parent, *rig_.doc, hole_, kSeed, heldAt));
        const ToolMode savedTool = model_.tool;
        log_ << " fill(mode" << mode << ",at" << heldAt << ')';

        auto gate = std::make_unique<WorkerGate>();
        CVelmoraDoc* doc = rig_.doc.get();
        rig_.doc->SetJobPostHook(
            mode >= 2 ? gate->HoldAtProgress(heldAt, [doc] { return doc->StopRequested(); })
                      : std::function<void(int)>());
        const auto fail = [&] { return ::testing::Test::HasFailure(); };
        Command(ID_FILL_START, true);
        if (fail()) return false;
        model_.Push(parent);
        model_.tool = TOOL_MOVE;

        enum class Ending { Finish, Stop, New, Save, Close } ending = Ending::Finish;
        if (mode == 1) {
            ending = Ending::Stop;
        } else if (mode >= 2) {
            gate->WaitUntilHeld();
            BusySteps();
            if (fail()) return false;
            const int pick = Pick(0, 9);
            ending = pick < 6   ? Ending::Stop
                     : pick < 8 ? Ending::New
                     : pick < 9 ? Ending::Save
                                : Ending::Close;
        }
        const QString saved = rig_.dir.filePath(QStringLiteral("saved.png"));
        switch (ending) {
            case Ending::Finish:
                break;
            case Ending::Stop:
                Command(ID_FILL_STOP, true);
                break;
            case Ending::New:
                log_ << " new";
                EXPECT_TRUE(rig_.doc->OnNewDocument());
                EXPECT_FALSE(rig_.doc->Busy()) << "New ends the job first";
                break;
            case Ending::Save:
                log_ << " save";
                EXPECT_TRUE(rig_.doc->OnSaveDocument(saved));
                EXPECT_FALSE(rig_.doc->Busy()) << "Save ends the job first";
                break;
            case Ending::Close:
                log_ << " close";
                rig_.doc.reset();
                QCoreApplication::sendPostedEvents();
                EXPECT_EQ(rig_.statusBar.ElementCount(), 0) << log_.str();
                EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << log_.str();
                return false;
        }
        WaitForIdle();
        if (fail()) return false;

        const QImage result = rig_.CurrentCopy();
        if (expected) {
            EXPECT_EQ(result, *expected) << "fill stopped after report " << heldAt << '\n'
                                         << log_.str();
        } else {
            EXPECT_TRUE(SameOutside(result, parent, hole_)) << "outside the hole\n" << log_.str();
        }
        model_.held[model_.current] = result;
        model_.tool = savedTool;
        model_.modified = ending == Ending::Finish || ending == Ending::Stop;
        if (ending == Ending::Save) {
            EXPECT_EQ(QImage(saved).convertToFormat(result.format()), result) << log_.str();
        }
        // The job's commands still queued after New or Save must change nothing.
        QCoreApplication::sendPostedEvents();
        return true;
    }

    // While the worker is held: every command but Stop is refused, open is refused, paints and
    // queued reports come through.
    void BusySteps() {
        for (int i = Pick(0, 4); i > 0; --i) {
            switch (Pick(0, 3)) {
                case 0: {
                    const std::vector<int>& ids = DocumentCommandIds();
                    const int id = ids[static_cast<std::size_t>(Pick(0, int(ids.size()) - 1))];
                    Command(id, id == ID_FILL_STOP ? true : false);
                    if (id == ID_FILL_STOP) return;  // the gate lets the worker go
                    break;
                }
                case 1:
                    log_ << " open";
                    EXPECT_FALSE(rig_.doc->OnOpenDocument(path_)) << log_.str();
                    break;
                case 2: {
                    const PaintAccess paint = rig_.doc->LockForPaint();
                    EXPECT_NE(paint.Image(), nullptr);
                    break;
                }
                default:
                    QCoreApplication::processEvents();
                    break;
            }
            if (::testing::Test::HasFailure()) return;
        }
    }

    void WaitForIdle() {
        while (rig_.doc->Busy()) {
            if (deadline_.hasExpired()) {
                ADD_FAILURE() << "deadlock: the job never finished\n" << log_.str();
                return;
            }
            QCoreApplication::processEvents();
            std::this_thread::yield();
        }
    }

    void Check() {
        if (::testing::Test::HasFailure()) return;
        const CVelmoraDoc& doc = *rig_.doc;
        const ImageHistory& history = doc.History();
        const std::string where = log_.str();
        ASSERT_EQ(history.top(), model_.top) << where;
        ASSERT_EQ(history.current(), model_.current) << where;
        for (std::int32_t index = model_.top - 9; index <= model_.top; ++index) {
            const bool held = model_.held.count(index) != 0;
            ASSERT_EQ(history.IsHeld(index), held) << "state " << index << where;
            if (held) {
                ASSERT_EQ(*history.StateAt(index), model_.held.at(index))
                    << "state " << index << where;
            }
        }
        for (std::int32_t slot = 0; slot < ImageHistory::kSlots; ++slot) {
            bool used = false;
            for (const auto& entry : model_.held) used = used || (entry.first & 7) == slot;
            ASSERT_EQ(history.SlotInUse(slot), used) << "slot " << slot << where;
        }
        for (const auto& [id, enabled] : model_.EnabledWhenIdle())
            ASSERT_EQ(rig_.Enabled(id), enabled) << "command " << id << where;
        ASSERT_EQ(doc.ZoomFactor(), kZoomLadder[static_cast<std::size_t>(model_.zoom)]) << where;
        ASSERT_EQ(doc.GetToolMode(), model_.tool) << where;
        ASSERT_EQ(doc.IsModified(), model_.modified) << where;
        ASSERT_EQ(rig_.statusBar.ElementCount(), 0) << where;
        ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr) << where;
    }

    std::mt19937 random_;
    DocumentRig rig_;
    DocumentModel model_;
    FillRect hole_;
    QString path_;
    std::ostringstream log_;
    QDeadlineTimer deadline_{kDeadlockMilliseconds};
};

TEST(HistoryModel, ThousandRandomSequencesMatchTheModel) {
    for (int sequence = 0; sequence < kSequences && !::testing::Test::HasFailure(); ++sequence) {
        SCOPED_TRACE("sequence " + std::to_string(sequence));
        ModelRun(static_cast<unsigned>(sequence)).Run(sequence % kDeepSequenceEvery == 0);
    }
}

}  // namespace
}  // namespace velmora::test
