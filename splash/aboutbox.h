#pragma once

class QWidget;

// Help > About: the product's name and version and its maker, one OK button and no icon. It
// changes nothing.
void showAboutBox(QWidget *parent);
