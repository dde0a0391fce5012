' The typical event: the host starts a prescription, the script chooses B12 for the first
' prescription of the day in region 080, the page is shown, and the doctor presses a
' prescribe link.
Reachable "https://servizi.example/"
InitializeContext True, "APP", "D1", "080", "101", "MG", True, "", "Serial_Number=123&Software=ABC&Versione=2.1"
Echo "initialised " & IsInitialized
StartPrescription
Echo "banner " & context.Banner
Echo "shown " & IniRead("B12", "SHOW") & " on " & IniRead("B12", "DATA")
Click "#PRESCRIBE?aic1", "Prescrivi"
Echo "prescribe counted " & IniRead("B12", "PRESCRIBE")
ClickElement "voluntas"
ClickElement "keydata"
Echo "key data " & IniRead("B12", "consenso")
' The second prescription of the day is not the first of three: the script resets the banner.
StartPrescription
Echo "banner " & context.Banner
