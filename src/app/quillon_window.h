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
class QPainter;
class QPrinter;

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
    // True while a command's handler runs (a run pumps events meanwhile).
    bool command_running() const { return running_commands_ > 0; }

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
    // False when the file could not be written (the message was shown).
    bool SaveVNFile(const char* fileName);
    int LoadVNTempFile(const char* fileName);

    // ------------------------------------------------ settings
    void CmINI();
    // Shows the telescope button on the control bar when `telescope` is not
    // 'n', removes it otherwise (defined with the control bar).
    void telescope_button_changed();

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
    // Reads a display bitmap file into a new Dib; 1 on success, 0 (message
    // 32, the old image kept) on failure.
    int LoadBitmapFile(const char* name);
    // The printer the print commands use (set up by CmPrintSetup).
    QPrinter& printer();

private:
    void SetupFromDib(std::unique_ptr<QImage> dib);
    bool UpdatePalette(bool alwaysRepaint);
    void AdjustScroller();
    void draw_picked_star(QPainter& painter);
    std::shared_ptr<QPrinter> printer_;

public:

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
    // A convolution with one of the program's kernels, then its history line.
    void enhance_with(int rad, int masknum, int divisor, const char* history);

    // ------------------------------------------------ calibration, merging, labelling
    void Subtract_Image();
    void Flat_Image();
    void Add_Image();
    void Average_Image();
    void Merge_Image();
    void CmMirror();
    void label_image();
    // A left click on the image while `merging` is set: the click in image
    // pixels, already snapped to the star when `merge_centre` asks for it.
    // Stores the mark, captures the merge buffers and repaints the dialog.
    void merge_click(int x, int y);
    // Shows the current marks and flags in the merge dialog, when it is open.
    void merge_refresh();
    // Opening a file while merging: the shown image becomes the base image
    // (copied into trial) and the next mark goes on the second image.
    void merge_open_second_image();
    // The open merge dialog (a child of the window), or nullptr.
    class TMergeDialog* merge_dialog() const;

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

    // ------------------------------------------------ camera and telescope
    void VN_Control();
    void CmTrainGuide();
    void CmStartGuide();
    void CmControl();
    void GuideTelescope();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Display painting (defined with the display pipeline).
    void EvPaint(QPainter& painter, const QRect& area);
    void EvSize();

    int running_commands_ = 0;
};
