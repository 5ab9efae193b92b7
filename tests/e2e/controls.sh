# shellcheck shell=bash disable=SC2034  # read by the tests that source lib.sh
# Sourced by lib.sh: the identifiers of the controls the end-to-end tests drive, under their
# names in the program (src/win32/OptionUnit.h, OptionUserUnit.h, VersionUnit.h), and the
# window messages of the tray icon's callback.

# The options dialog (TOptionForm): 1000 + the control's help-context number where it has one.
idCbDialup=1002
idCbRedial=1003
idCbKeep=1004
idEdRedialCount=1005
idEdRedialInterval=1006
idCbAutoConnectRun=1007
idCbAutoConnectRunTime=1008
idCbAutoConnectTime=1009
idEdAutoConnectTimeHour=1010
idEdAutoConnectTimeMinute=1110
idCbAutoDisconnectEnd=1011
idCbAutoDisconnectTime=1012
idCbStatusLocate=1014
idCbStatusCloseBar=1015
idTbStatusAlphaCount=1017
idRbKMSLogin=1019
idEdKMSPasswordText=1020
idCbKMSPort=1021
idEdKMSPort=1022
idEdAutoDisconnectTimeHour=1023
idEdAutoDisconnectTimeMinute=1123
idBtOk=1024
idBtCancel=1025
idBtUpdate=1026
idCbKMSComputer=1056
idEdKMSComputerCount=1057
idBtKMSComputerCount=1058
idCbKMSPassword=1059
idPcOption=1100
idLaStatusAlphaCount=2001

# The authorised computers dialog (TOptionUserForm).
idLvUser=1060
idUserBtEdit=1061
idUserBtNew=1062
idUserBtDelete=1063
idUserBtOk=1064
idUserBtCancel=1065

# The about box (TVersionForm).
idBtClose=3003

# The tray icon's callback message and the mouse messages it carries.
kTrayCallbackMessage=0x8001
WM_LBUTTONDBLCLK=0x203
WM_RBUTTONUP=0x205

# Virtual keys sent to controls and menus.
VK_RETURN=0x0D
VK_ESCAPE=0x1B
VK_END=0x23
