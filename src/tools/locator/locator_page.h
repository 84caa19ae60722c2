// The IP Locator page: a name or address in Edit11, resolved on a worker (a dead name server
// never holds the window; a newer query replaces one still resolving), then the location
// service's page for the address in WebBrowser1. The service is the one built into the program
// unless settings.ini's "locator/base" names another. The view is made the first time the page
// is shown, not with the page: WebEngine starts a process of its own.
#pragma once

#include "core/job_runner.h"
#include "core/widgets/tool_page.h"
#include "tools/locator/locator_view.h"

#include <memory>

class QLabel;
class QLineEdit;
class QToolButton;

namespace quendrix {

// What the worker hands the page: the resolved address and, where the view needs it, the
// built-in service's page for it.
struct LocatorAnswer {
    QString address;
    QString html;
};

class LocatorPage : public ToolPage {
    Q_OBJECT
  public:
    // Reads "locator/base" through the host. Tests may ask for the text browser and another
    // GeoIP file.
    explicit LocatorPage(
        PageHost& host, QWidget* parent = nullptr,
        locator::LocatorView::Kind viewKind = locator::LocatorView::Kind::Automatic,
        std::string geoIpPath = locator::kSystemGeoIpPath);
    ~LocatorPage() override;

    // The query.
    void SpeedButton3Click();
    // Fills Edit11 with the host of the browser's current address, then runs the query.
    void SpeedButton26Click();
    // Saves the query address and the page's text.
    void SpeedButton25Click();

    // The view, once made (the first show or the first query); nullptr before.
    locator::LocatorView* view() const { return m_view.get(); }
    // The query address built last; empty before the first query.
    const QString& queryAddress() const { return m_queryAddress; }
    // True while a name is being resolved.
    bool resolving() const;
    // How many query addresses the page has handed to its view (refused ones included).
    int navigations() const { return m_navigations; }
    // Waits until every worker, stopped ones included, has returned; false on time-out.
    bool waitForWorkers(int timeoutMs);
    // The lines the export writes: the query address, then the page's text line by line.
    QStringList exportLines() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ensureView();
    void navigate(const LocatorAnswer& answer);

    PageHost& m_host;
    locator::LocatorView::Kind m_viewKind;
    QString m_base;
    std::shared_ptr<const locator::LocationService> m_service;
    JobRunner<LocatorAnswer>* m_runner;
    JobId m_query = 0;
    QString m_queryAddress;
    int m_navigations = 0;
    std::unique_ptr<locator::LocatorView> m_view;

    QLabel* Label71;
    QLineEdit* Edit11;
    QToolButton* SpeedButton26;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton25;
};

}  // namespace quendrix
