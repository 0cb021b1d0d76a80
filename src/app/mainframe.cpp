#include "app/mainframe.h"

#include <QCloseEvent>
#include <QStatusTipEvent>

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

bool CMainFrame::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::StatusTip:
            hoverText_ = static_cast<QStatusTipEvent*>(event)->tip();
            break;
        case QEvent::WindowBlocked:
        case QEvent::WindowUnblocked:
            // A modal window takes the pointer without the hovered element hearing that it left,
            // and gives it back wherever the pointer is then: the hover text would stay behind.
            // Notices in the same place are left alone.
            if (m_statusBar != nullptr && !hoverText_.isEmpty() &&
                m_statusBar->currentMessage() == hoverText_)
                m_statusBar->clearMessage();
            break;
        default:
            break;
    }
    return QMainWindow::event(event);
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
