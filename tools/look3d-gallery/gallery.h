/* Identifiers of the look gallery's dialog and controls. */
#ifndef ORM_LOOK3D_GALLERY_H
#define ORM_LOOK3D_GALLERY_H

#define IDD_GALLERY         100

#define IDC_PUSH            1001
#define IDC_DEFPUSH         1002
#define IDC_DISABLEDPUSH    1003
#define IDC_CHECK           1010
#define IDC_CHECKED         1011
#define IDC_THREESTATE      1012
#define IDC_DISABLEDCHECK   1013
#define IDC_RADIO1          1020
#define IDC_RADIO2          1021
#define IDC_RADIO3          1022
#define IDC_GROUP           1030
#define IDC_EDIT            1040
#define IDC_LIST            1041
#define IDC_SIMPLECOMBO     1042
#define IDC_DROPDOWN        1043
#define IDC_DROPLIST        1044
#define IDC_TEXTLEFT        1050
#define IDC_TEXTCENTER      1051
#define IDC_TEXTRIGHT       1052
#define IDC_TEXTDISABLED    1053
#define IDC_BLACKRECT       1060
#define IDC_GRAYRECT        1061
#define IDC_WHITERECT       1062
#define IDC_BLACKFRAME      1063
#define IDC_GRAYFRAME       1064
#define IDC_WHITEFRAME      1065

#endif
