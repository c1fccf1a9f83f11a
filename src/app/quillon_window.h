// The main window: a router. Each Cm... handler reads the state, calls free
// functions of its subsystem and rebuilds the display. Handlers are defined
// beside their subsystem (src/<subsystem>/*_commands.cpp).
#pragma once

#include <QAbstractScrollArea>
#include <QBrush>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QRgb>

#include <functional>
#include <memory>

class QMainWindow;
class QToolBar;
class QStatusBar;
class QAction;

class TQuillonWindow : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TQuillonWindow(QWidget* parent = nullptr);
    ~TQuillonWindow() override;

    // Sets FileName (or "(Untitled)" for nullptr) and the frame caption
    // "Quillon - <FileName>".
    void SetCaption(const char* name);
    QString caption() const;

    // Runs the handler of command `number`; false for an unknown number.
    bool dispatch(int number);

    // ------------------------------------------------ members (declaration order of the window)
    QString FileName;
    std::unique_ptr<QImage> Dib;       // the 8-bit display image shown; none until the first build
    QPixmap Bitmap;                    // the screen copy of Dib
    QVector<QRgb> Palette;             // taken from Dib
    QBrush BkgndBrush;                 // the area outside the image
    int PixelWidth = 0, PixelHeight = 0;
    unsigned short Colors = 0;
    int Fit = 0;

    // ------------------------------------------------ frame buffers and undo
    void undo_save_option();
    void undo_restore_option();

    // ------------------------------------------------ files (native, FITS, TIFF, auto-save)
    void CmFileOpen();
    void CmFileSave();
    void CmTifSave();
    void CmFITSSave();
    void CmSaveAsFits();
    void CmFileDelete();
    void CmEditFITSText();
    void CmDarkFile();
    void CmFlatField();
    void CmViewFITSText();
    void LoadVNFile(const char* fileName);
    void SaveVNFile(const char* fileName);
    int LoadVNTempFile(const char* fileName);

    // ------------------------------------------------ settings
    void CmINI();

    // ------------------------------------------------ display pipeline
    void image_prepare();
    void PaintIt();
    void CmFit();
    void CmGeo();
    void CmBig();
    void CmColPal();
    void CmStretchPal();
    void CmCopy();
    void CmPrint();
    void CmPrintSetup();

    // ------------------------------------------------ information windows and help
    void CmShowImage();
    void Info();
    void Help_Using();
    void Help_About();

    // ------------------------------------------------ contrast
    void CmContrastNormal();
    void CmContrastPower();
    void CmContrastSine();
    void CmContrastBackGround();
    void CmContrastVarnel();
    void CmContrastLog();
    void CmContrastAntiLog();
    void CmContrastInvert();
    void contrast_stretch();
    void CmStretchMax();
    void CmMaxStretchOn();
    void CmMaxStretchOff();

    // ------------------------------------------------ filters
    void unsharp_enhance();
    void highlow_enhance();
    void highhigh_enhance();
    void smoothsharp_enhance();
    void median_enhance();
    void gaussian_enhance();
    void lowpass_enhance();
    void basrelief_enhance();
    void gradient_enhance();
    void venetian_enhance();

    // ------------------------------------------------ calibration, merging, labelling
    void Subtract_Image();
    void Flat_Image();
    void Add_Image();
    void Average_Image();
    void Merge_Image();
    void CmMirror();
    void label_image();

    // ------------------------------------------------ plots, photometry, blink, mouse
    void CmHistogram();
    void Cm3D();
    void CmRowInt();
    void CmPhotometry();
    void CmFileComparison();
    void blink_comparison();
    void BlinkOriginal();
    void BlinkComparison();
    void CmPickStar();
    void CmFocusFrame();
    void CmFocusFrameReset();
    void EvLButtonUp(const QPoint& point);
    void EvRButtonUp(const QPoint& point);
    void EvMouseMove(const QPoint& point);
    // The analysis windows while they are open (null once closed).
    QPointer<class THistDialog> THist;
    QPointer<class T3DDialog> T3D;
    QPointer<class TRowDialog> TRow;
    QPointer<class TPHDialog> TPH;
    QPointer<class TBLDialog> TBL;
    // A click in merge mode at an image pixel goes to the merge through this.
    std::function<void(int x, int y)> on_merge_click;

    // ------------------------------------------------ camera and telescope (later work)
    void VN_Control();
    void CmTrainGuide();
    void CmStartGuide();
    void CmControl();
    void GuideTelescope();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Display painting (defined with the display pipeline).
    void EvPaint(QPainter& painter, const QRect& area);
    void EvSize();
};
