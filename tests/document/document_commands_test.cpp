#include <gtest/gtest.h>

#include <QSignalSpy>
#include <set>

#include "../platform/qt_test_app.h"
#include "document/zoom_ladder.h"
#include "document_test_support.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

TEST(DocumentCommands, NewDocumentEnablesOnlyOpen) {
    DocumentRig rig;
    EXPECT_EQ(EnabledCommands(rig), (std::set<int>{ID_FILE_OPEN}));
    EXPECT_TRUE(rig.Checked(ID_TOOL_POLYGON)) << "checked although disabled";
    EXPECT_FALSE(rig.Checked(ID_TOOL_RECTANGLE));
    EXPECT_FALSE(rig.Enabled(ID_TOOL_ELLIPSE)) << "no handler anywhere";
    EXPECT_EQ(rig.doc->Title(), QStringLiteral("未命名"));
    EXPECT_FALSE(rig.doc->IsModified());
}

TEST(DocumentCommands, LoadedDocumentEnablesEditingButNotYetFill) {
    DocumentRig rig;
    rig.OpenPicture(40, 30);
    EXPECT_EQ(
        EnabledCommands(rig),
        (std::set<int>{ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_OUT, ID_TOOL_RECTANGLE, ID_TOOL_POLYGON,
                       ID_TOOL_SELECT, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_TOOL_MOVE}));
    rig.doc->AddPoint(1, 1);
    EXPECT_FALSE(rig.Enabled(ID_FILL_START));
    rig.doc->AddPoint(5, 5);
    EXPECT_TRUE(rig.Enabled(ID_FILL_START)) << "two points suffice, closed or not";
}

TEST(DocumentCommands, ZoomLadderStopsAtOneEighthAndSixteen) {
    DocumentRig rig;
    rig.OpenPicture(20, 20);
    QSignalSpy updates(rig.doc.get(), &CVelmoraDoc::viewsUpdated);
    for (const float expected : {0.75f, 0.5f, 0.25f, 0.125f}) {
        ASSERT_TRUE(rig.router.Execute(ID_VIEW_ZOOM_OUT));
        EXPECT_EQ(rig.doc->ZoomFactor(), expected);
    }
    EXPECT_FALSE(rig.router.Execute(ID_VIEW_ZOOM_OUT));
    EXPECT_EQ(rig.doc->ZoomFactor(), 0.125f);
    for (const float expected : {0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 4.0f, 8.0f, 16.0f}) {
        ASSERT_TRUE(rig.router.Execute(ID_VIEW_ZOOM_IN));
        EXPECT_EQ(rig.doc->ZoomFactor(), expected);
    }
    EXPECT_FALSE(rig.router.Execute(ID_VIEW_ZOOM_IN));
    EXPECT_EQ(updates.count(), 13);
    for (const float expected : {8.0f, 4.0f, 2.0f, 1.5f, 1.0f}) {
        ASSERT_TRUE(rig.router.Execute(ID_VIEW_ZOOM_OUT));
        EXPECT_EQ(rig.doc->ZoomFactor(), expected);
    }
    EXPECT_FALSE(rig.Enabled(ID_VIEW_ZOOM_NORMAL));
    rig.router.Execute(ID_VIEW_ZOOM_IN);
    EXPECT_TRUE(rig.router.Execute(ID_VIEW_ZOOM_NORMAL));
    EXPECT_EQ(rig.doc->ZoomFactor(), 1.0f);
}

TEST(ZoomLadder, HandlersOwnLimitsLieBeyondTheEnablingRules) {
    EXPECT_EQ(ZoomOutStep(0.125f), 0.0625f);
    EXPECT_EQ(ZoomOutStep(0.0625f), 0.0625f);
    EXPECT_EQ(ZoomInStep(16.0f), 16.0f);
    EXPECT_EQ(ZoomInStep(3.0f), 6.0f);
    EXPECT_EQ(ZoomOutStep(3.0f), 1.5f);
}

TEST(DocumentCommands, RectangleAndPolygonClearTheOutlineSelectAndMoveKeepIt) {
    DocumentRig rig;
    rig.OpenPicture(20, 20);
    const auto outline = [&] {
        rig.doc->AddPoint(1, 1);
        rig.doc->AddPoint(9, 9);
        rig.doc->SourceRect() = {0, 0, 10, 10};
    };
    for (int round = 0; round < 2; ++round) {
        outline();
        ASSERT_TRUE(rig.router.Execute(ID_TOOL_RECTANGLE));
        EXPECT_EQ(rig.doc->Selection().pointCount, 0) << "round " << round;
        EXPECT_EQ(rig.doc->SourceRect(), (FillRect{}));
        EXPECT_TRUE(rig.Checked(ID_TOOL_RECTANGLE));
        EXPECT_FALSE(rig.Checked(ID_TOOL_POLYGON));
    }
    outline();
    ASSERT_TRUE(rig.router.Execute(ID_TOOL_SELECT));
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_SELECT);
    ASSERT_TRUE(rig.router.Execute(ID_TOOL_MOVE));
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_MOVE);
    EXPECT_EQ(rig.doc->Selection().pointCount, 2);
    EXPECT_EQ(rig.doc->SourceRect(), (FillRect{0, 0, 10, 10}));
    ASSERT_TRUE(rig.router.Execute(ID_TOOL_POLYGON));
    EXPECT_EQ(rig.doc->Selection().pointCount, 0);
    EXPECT_TRUE(rig.Checked(ID_TOOL_POLYGON));
}

TEST(DocumentSelection, PointsStopAtTheOutlinesCapacity) {
    CVelmoraDoc doc;
    for (int i = 0; i < SelectionPolygon::kCapacity; ++i) ASSERT_EQ(doc.AddPoint(i, -i), 1);
    EXPECT_EQ(doc.AddPoint(1, 1), 0);
    EXPECT_EQ(doc.Selection().pointCount, SelectionPolygon::kCapacity);
    EXPECT_EQ(doc.Selection().points.back(), (GridPoint{7999, -7999}));

    EXPECT_EQ(doc.SetPoint(7999, 5, 6), 1);
    EXPECT_EQ(doc.Selection().points.back(), (GridPoint{5, 6}));
    EXPECT_EQ(doc.SetPoint(8000, 1, 1), 0);
    EXPECT_EQ(doc.SetPoint(-1, 1, 1), 0);
    doc.SourceRect() = {1, 2, 3, 4};
    doc.ClearSelection();
    EXPECT_EQ(doc.Selection().pointCount, 0);
    EXPECT_EQ(doc.SourceRect(), (FillRect{}));
    EXPECT_EQ(doc.SetPoint(0, 1, 1), 0) << "only points in use can be set";
}

TEST(DocumentSelection, ClosedOutline) {
    SelectionPolygon outline;
    EXPECT_FALSE(IsSelectionClosed(outline));
    outline.points[0] = {3, 4};
    outline.points[1] = {3, 4};
    outline.pointCount = 1;
    EXPECT_FALSE(IsSelectionClosed(outline)) << "one point is not an outline";
    outline.pointCount = 2;
    EXPECT_TRUE(IsSelectionClosed(outline));
    outline.points[1] = {3, 5};
    EXPECT_FALSE(IsSelectionClosed(outline));
}

TEST(DocumentDefaults, SourceTrackerAndFields) {
    const CVelmoraDoc doc;
    EXPECT_EQ(doc.SourceTracker().style, 10u);
    EXPECT_EQ(doc.SourceTracker().minWidth, 50);
    EXPECT_EQ(doc.SourceTracker().minHeight, 50);
    EXPECT_EQ(doc.SourceTracker().handleSize, 8);
    EXPECT_EQ(doc.SourceTracker().rect, (ViewRect{}));
    EXPECT_EQ(doc.ZoomFactor(), 1.0f);
    EXPECT_EQ(doc.GetToolMode(), TOOL_POLYGON);
    EXPECT_FALSE(doc.Busy());
    EXPECT_FALSE(doc.StopRequested());
    EXPECT_EQ(doc.FillMask().size(), 0u);
}

}  // namespace
}  // namespace velmora::test
