' A banner page that is missing, in a package without offline.html: the control tries the
' offline page once, then shows a blank page, traces and logs why, and goes no further.
Reachable "https://servizi.example/"
InitializeContext True, "APP", "D1", "080", "101", "MG", True, "", "Software=ABC"
StartPrescription
Echo "offline " & IniRead("BVC", "Offline")
' The next run tries the page again, and settles again.
StartPrescription
Echo "end"
