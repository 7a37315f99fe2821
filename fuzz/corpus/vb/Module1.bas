Attribute VB_Name = "Module1"
Option Explicit

' Adds the tax to a price.
Public Function WithTax(ByVal price As Currency) As Currency
    WithTax = price * 1.1   ' rounded by the caller
End Function
