/* Resource and control identifiers of the agreement dialog. Plain #defines only: this header is
   read both by the C++ compilers and by the resource compiler's preprocessor. */
#ifndef LXAGREE_RESOURCE_IDS_H
#define LXAGREE_RESOURCE_IDS_H

#define IDC_WELCOME_TEXT 1004
#define IDC_PICTURE_FRAME 1013
#define IDC_HINT 1006
#define IDC_AGREEMENT_TEXT 1005
#define IDC_ACCEPT 1010
#define IDC_DECLINE 1012
#define IDC_CONTINUE 1
#define IDC_CANCEL_BUTTON 3
#define IDC_STATIC -1

#define IDB_STANDARD_LOGO 505
#define IDB_BETA_LOGO 506

#endif /* LXAGREE_RESOURCE_IDS_H */
