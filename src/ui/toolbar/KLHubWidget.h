#pragma once

// The meeting toolbar drawn: one button per toolbar control, looking as the toolbar controller
// says (KLHubButtonState) and forwarding clicks to it. Constructing it attaches it as the
// controller's view. Main thread only.

#include <QWidget>

#include <memory>

class KLHubViewController;

class KLHubWidget : public QWidget {
    Q_OBJECT
public:
    explicit KLHubWidget(std::shared_ptr<KLHubViewController> hub, QWidget *parent = nullptr);
    ~KLHubWidget() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
