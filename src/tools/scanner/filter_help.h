// The website scanner's "Filter Help" dialog: how the filter words work, beside an example of
// a filled-in filter (for show only), and a Close button.
#pragma once

#include <QDialog>

namespace quendrix {

class Tfilter_help : public QDialog {
    Q_OBJECT
  public:
    explicit Tfilter_help(QWidget* parent = nullptr);

    // Shows the dialog modally without a nested event loop: the caller goes on at once and
    // the rest of the program is blocked until Close.
    void showModal();

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace quendrix
