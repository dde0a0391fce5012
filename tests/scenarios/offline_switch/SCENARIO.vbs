' The default page cannot be reached: the offline page replaces it and the control stays
' offline, stored in the INI file, until the doctor clears the menu item.
InitializeContext True, "APP", "D1", "020", "101", "MG", True, "", "Serial_Number=123&Software=ABC&Versione=2.1"
AddProblemToPrescription "J10"
Echo "offline " & IniRead("BVC", "Offline")
AnswerNext "Offline"
RightClick
Echo "offline " & IniRead("BVC", "Offline")
Reachable "https://servizi.example/"
AddProblemToPrescription "J11"
