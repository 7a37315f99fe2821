VERSION 5.00
Begin VB.Form F
   Caption = "Attribute"
End
Option  Explicit
' c
Rem x
#If 1
)
ÉA

