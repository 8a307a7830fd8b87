.pragma library

// Calls one operation of the screen's controller, looked up when the button is pressed,
// so a controller replaced after the button was built is the one that is called.
function performViewModelAction(screen, operation) {
    const viewModel = screen.viewModel
    viewModel[operation]()
}
