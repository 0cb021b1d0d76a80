#include "app/mainframe.h"

#include <QCloseEvent>

#include "app/app_settings.h"
#include "app/my_ribbon_bar.h"
#include "app/res/images.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "platform/command_router.h"
#include "platform/ribbon_status_bar.h"

namespace velmora {

namespace {
constexpr QSize kDefaultSize(1100, 760);
}  // namespace

CMainFrame::CMainFrame(FrameServices services, QWidget* parent)
    : QMainWindow(parent), services_(services) {
    services_.visualStyle = services_.settings.ReadVisualStyle();
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(ProgramIcon());
    SetDocumentTitle(LoadString(AFX_IDS_UNTITLED));
    resize(kDefaultSize);
}

CMainFrame::~CMainFrame() {
    if (services_.router.Target(RouteStage::Frame) == &commands_)
        services_.router.SetTarget(RouteStage::Frame, nullptr);
}

bool CMainFrame::OnCreate() {
    OnVisualStyle(services_.visualStyle);

    m_ribbonBar = new CMyRibbonBar(this);
    m_ribbonBar->setObjectName(QStringLiteral("ribbon"));
    setMenuWidget(m_ribbonBar);
    BuildRibbon();

    m_statusBar = new RibbonStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(m_statusBar);

    RegisterHelpCommands();
    RegisterStyleCommands();
    services_.router.SetTarget(RouteStage::Frame, &commands_);
    BindAccelerators();

    restoreGeometry(services_.settings.ReadWindowGeometry());
    restoreState(services_.settings.ReadWindowState());
    return m_statusBar != nullptr;
}

void CMainFrame::SetView(QWidget* view) {
    setCentralWidget(view);
    if (view != nullptr) view->setFocus();
}

void CMainFrame::SetDocumentTitle(const QString& title) {
    setWindowTitle(QStringLiteral("%1[*] - %2").arg(title, LoadString(AFX_IDS_APP_TITLE)));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (closeQuery_ && !closeQuery_()) {
        event->ignore();
        return;
    }
    services_.settings.WriteWindow(saveGeometry(), saveState());
    event->accept();
}

}  // namespace velmora
