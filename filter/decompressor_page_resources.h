// Resource and control identifiers of the decompressor's property page,
// shared by the page's code and its dialog script.
#pragma once

// The page's title string and its dialog template.
#define IDS_DECOMPRESSOR_PAGE_TITLE 2
#define IDD_DECOMPRESSOR_PAGE 102

// Controls of the dialog.
#define IDC_RESET_STATISTICS 1024  // push button "Reset Statistics"
#define IDC_DISPLAY_MASK 1023      // check box "Display mask (for debugging)"
#define IDC_QUALITY_VALUE 1022     // read-only edit: quality in hundredths
#define IDC_AVERAGE_SIZE 1021      // read-only edit: average compressed sample size
#define IDC_QUALITY_SLIDER 1020    // disabled trackbar: quality 0..100
#define IDC_DENOISE 1005           // check box "Apply denoise filter"
