// Resource ids of the platform tests' resource script and of the extension module's script.
#pragma once

#define IDD_PLATFORM_TEST 100
#define IDD_EXTENSION_ONLY 101

#define IDR_TEST_MENU 200
#define IDR_TEST_ACCELERATORS 201

#define IDS_TEST_GREETING 300
#define IDS_EXTENSION_ONLY 301

#define IDC_TEXT 1001
#define IDC_STYLE 1002
#define IDC_HEIGHT 1003
#define IDC_APPLY 1004
#define IDC_STATUS 1005

#define ID_TEST_FIND 40001
#define ID_TEST_REFRESH 40002
#define ID_TEST_RANGE_FIRST 40010
#define ID_TEST_RANGE_MIDDLE 40011
#define ID_TEST_RANGE_LAST 40012
#define ID_TEST_AFTER_RANGE 40013
#define ID_TEST_THROW_MEMORY 40020
#define ID_TEST_THROW_STD 40021
