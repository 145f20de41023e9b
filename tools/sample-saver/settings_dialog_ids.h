/* Control ids of the settings dialog, shared by saver.rc and the code. */
#define IDD_SETTINGS 100
#define IDC_SECONDS 101
#define IDC_SHUFFLE 102
#define IDC_DEFAULTS 103
#define IDC_ABOUT 104
