' A script without BeforeInitialize: one report naming Init, banners off, and the host's
' later calls do nothing.
InitializeContext True, "APP", "D1", "080", "101", "MG", True, "", ""
Echo "initialised " & IsInitialized & ", banners " & Application.EnableBanners
Echo "start " & StartPrescription
