// The Website Scanner page: a host in, the crawl of its site by the window's one scanner
// component, the links it reports listed with their types and a running count, the response
// head of the page last analysed, a double click that opens a listed link, and the addresses
// saved as a text file. The component runs on this thread with its 200 ms timer; the page only
// sets its options, starts and stops it and shows what its events bring.
#pragma once

#include "core/widgets/tool_page.h"
#include "tools/scanner/http_scan.h"

#include <QString>

#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace quendrix {

class GridView;
class ResultTableModel;
class Tfilter_help;

class ScannerPage : public ToolPage {
    Q_OBJECT
  public:
    // What settings.ini may hold under "scanner", and what stands in for a missing or
    // unusable value.
    static constexpr int kDefaultConcurrentDownloads = 6;
    static constexpr int kMaxConcurrentDownloads = 32;
    static constexpr int kDefaultDepthSearchLevel = 3;

    // Reads "scanner/ConcurrentDownloads" and "scanner/DepthSearchLevel" through the host.
    explicit ScannerPage(PageHost& host, QWidget* parent = nullptr);
    ~ScannerPage() override;

    // While a scan works and is not stopping: asks whether to exit; Yes shuts the scanner down,
    // which ends the program about two seconds later without the settings write. The close
    // is refused either way.
    bool queryClose() override;

    THttpScan& HttpScan1() { return *m_scan; }
    ResultTableModel* grid() const { return m_grid; }
    int linksFound() const { return m_linksFound; }
    // The spinner character, one for the whole program; empty before the first link.
    static QString spinner();

    // Start: the host in Edit111, made an address, crawled from there.
    void Button22Click();
    // Stop: the scan winds down ("    stopping...").
    void Button11Click();
    // Enter (Return or the keypad's Enter) starts, also during a scan; true when it did.
    bool Edit111KeyPress(int key);
    // The options act at once, also during a scan, on every change of state (mouse, keyboard,
    // a screen reader).
    void RadioGroup2Click();
    void RadioGroup3Click();
    void CheckBox5Click();
    void Memo11Change();
    void SpeedButton16Click();
    void SpeedButton17Click();
    // Opens the address of the selected row: an http:// or https:// address in the browser, a
    // "mail" row's address as mailto:. Any other text is not opened.
    void StringGrid4DblClick();
    void SpeedButton15Click();
    // The save dialog's confirmation of a file name: true when path may be written.
    bool SaveDialog4CanClose(const QString& path);

    void HttpScan1LinkFound(const std::string& UrlFound, const std::string& TypeLink);
    void HttpScan1PageReceived(const std::string& Head);
    void HttpScan1Working(bool working);

    Tfilter_help* filterHelp() const { return m_filterHelp; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applySettings();

    PageHost& m_host;
    THttpScan* m_scan;
    int m_linksFound = 0;
    ResultTableModel* m_grid;

    QLabel* Label53;
    QLineEdit* Edit111;
    QToolButton* SpeedButton17;
    QToolButton* button22;
    QToolButton* button11;
    QToolButton* SpeedButton15;
    QLabel* Label55;
    QGroupBox* RadioGroup2;
    QButtonGroup* m_radioGroup2;
    QGroupBox* RadioGroup3;
    QButtonGroup* m_radioGroup3;
    QCheckBox* CheckBox5;
    QToolButton* SpeedButton16;
    QPlainTextEdit* Memo11;
    QLabel* Label36;
    QPlainTextEdit* Memo222;
    GridView* StringGrid4;
    QMenu* pop_scanner;
    Tfilter_help* m_filterHelp;
};

}  // namespace quendrix
